// convert_tool FROM TO: reads records "<length>\n<bytes>" from standard input until its end and writes
// "<length>\n<bytes>" of convertText(bytes, FROM, TO) for each, so one process converts thousands of texts.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cstdio>
#include <iostream>
#include <string>

#include "platform/text.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: convert_tool FROM TO < records\n");
        return 1;
    }
#ifdef _WIN32
    // The records are bytes: no "\r\n" translation, no end at a ^Z.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::ios::sync_with_stdio(false);
    std::string header;
    while (std::getline(std::cin, header)) {
        const size_t n = std::stoul(header);
        std::string bytes(n, '\0');
        std::cin.read(bytes.data(), static_cast<std::streamsize>(n));
        const std::string out = lanqi::convertText(bytes, argv[1], argv[2]);
        std::cout << out.size() << '\n';
        std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
    }
    return 0;
}
