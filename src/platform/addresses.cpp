#include "platform/addresses.h"

namespace lanqi {

Text downloaderPageAddress() { return "http://dl.xunlei.com/"; }
Text playerPageAddress() { return "http://video.xunlei.com/"; }

}  // namespace lanqi
