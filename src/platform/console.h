#pragma once

#include <string>
#include <vector>

namespace lanqi {

// The width of the terminal standard output writes to, in columns; 0 when it is not a terminal (a pipe or a
// file). A terminal whose width cannot be read counts as $COLUMNS, else 80 columns.
int terminalColumns();

// Makes standard output and standard error write the program's UTF-8 bytes exactly as given: no line-end
// translation, and a console that shows UTF-8. On Windows the console's code page (shared with the program
// that started this one) is put back when the program ends, also through exit(), an uncaught exception,
// Ctrl+C or Ctrl+Break.
void prepareConsoleOutput();

// The program's arguments, UTF-8, the program's name first. On Windows they come from the wide command line,
// so that any character survives; elsewhere they are argv as given.
std::vector<std::string> commandLineArguments(int argc, char** argv);

}  // namespace lanqi
