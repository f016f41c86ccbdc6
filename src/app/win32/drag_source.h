#pragma once

// Dragging a result's magnet link out of the main window with OLE drag and drop: a data object that holds the
// link as text and as a link, the drop source of a drag with the left button, and the drag itself.
#include <windows.h>
#include <ole2.h>

#include <array>
#include <functional>
#include <string_view>

namespace lanqi::win32 {

// The clipboard formats a link is offered in, in the order the data object lists them: as a link for the
// browsers and editors that read one ("UniformResourceLocatorW", "UniformResourceLocator"), then as text
// (CF_UNICODETEXT, CF_TEXT). Each is an HGLOBAL holding the link and its terminating zero, UTF-16 for the
// wide ones.
std::array<CLIPFORMAT, 4> linkFormats();

// A data object holding `link`, with one reference, which the caller owns; nullptr for an empty link or one
// with a byte outside ASCII (a magnet link is ASCII, so that its narrow forms are its bytes as they are).
IDataObject* newLinkData(std::string_view link);
// How many of those data objects are alive now.
long liveLinkData();

// The drop source of a drag started with the left button, with one reference, which the caller owns: it
// drops when the button goes up, cancels on Esc, and leaves the pointer to OLE.
IDropSource* newLeftButtonDropSource();

// Runs the modal drag of `data` (DoDragDrop, as a copy or a link) until it drops or is cancelled: what the
// drop target did with it, DROPEFFECT_NONE when nothing took it. OLE must be initialised on this thread.
DWORD dragData(IDataObject& data);
// How the main window runs a drag; dragData unless told otherwise.
using DataDragger = std::function<DWORD(IDataObject& data)>;

}  // namespace lanqi::win32
