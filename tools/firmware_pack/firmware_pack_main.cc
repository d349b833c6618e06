// zelvo_firmware_pack: encrypts a plain firmware image the way the program stores its images
// (RC4 with the image key, keystream restarted every 1024 bytes) and prints the Up.ibl
// "element" line that describes it; the Md5 attribute is the plain image's digest.
//
//   zelvo_firmware_pack [--kernel K] [--img-name NAME] [--down-name NAME] [--ver-name KEY]
//                       [--ver VERSION] PLAIN_IMAGE OUTPUT_FOLDER
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "box/firmware_image.h"
#include "package/md5.h"
#include "platform/file_system.h"

namespace {

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: zelvo_firmware_pack [--kernel K] [--img-name NAME] [--down-name NAME]\n"
                 "                           [--ver-name KEY] [--ver VERSION] PLAIN_IMAGE "
                 "OUTPUT_FOLDER\n");
}

std::string EscapeAttribute(const std::string& value) {
    std::string escaped;
    for (char c : value) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// The name of the file without its folders.
std::string BaseName(const std::string& path) {
    const size_t nSlash = path.find_last_of('/');
    return nSlash == std::string::npos ? path : path.substr(nSlash + 1);
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> options = {{"--kernel", "A7"},
                                                  {"--img-name", ""},
                                                  {"--down-name", "update"},
                                                  {"--ver-name", "OSVER:"},
                                                  {"--ver", "V1.0.0-P:FS"}};
    std::string strPlain, strFolder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options.count(arg) != 0 && i + 1 < argc) {
            options[arg] = argv[++i];
        } else if (arg.rfind("--", 0) == 0) {
            PrintUsage();
            return 2;
        } else if (strPlain.empty()) {
            strPlain = arg;
        } else if (strFolder.empty()) {
            strFolder = arg;
        } else {
            PrintUsage();
            return 2;
        }
    }
    if (strPlain.empty() || strFolder.empty()) {
        PrintUsage();
        return 2;
    }
    std::string& strImageName = options["--img-name"];
    if (strImageName.empty()) strImageName = BaseName(strPlain) + ".bin";
    std::string strMd5;
    if (Md5FileHex(strPlain, &strMd5) < 0) {
        std::fprintf(stderr, "cannot read %s\n", strPlain.c_str());
        return 1;
    }
    const std::string strOut = platform::JoinPath(strFolder, strImageName);
    if (DecryptImageFile(strPlain, kImageKey, strOut) != kDecryptOk) {
        std::fprintf(stderr, "cannot write %s\n", strOut.c_str());
        return 1;
    }
    std::printf(
        "<element Kernel=\"%s\" ImgName=\"%s\" DownName=\"%s\" VerName=\"%s\" "
        "Ver=\"%s\" Md5=\"%s\"/>\n",
        EscapeAttribute(options["--kernel"]).c_str(), EscapeAttribute(strImageName).c_str(),
        EscapeAttribute(options["--down-name"]).c_str(),
        EscapeAttribute(options["--ver-name"]).c_str(), EscapeAttribute(options["--ver"]).c_str(),
        strMd5.c_str());
    return 0;
}
