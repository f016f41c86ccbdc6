#include "platform/product.h"

namespace lanqi {

const Text& productName() {
    static const Text name = gbk(u8"岚栖种子搜索神器");
    return name;
}

const Text& titlePrefix() {
    static const Text prefix = productName() + "v" + kProductVersionText;
    return prefix;
}

}  // namespace lanqi
