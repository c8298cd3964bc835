#include "base/Shell.h"
#include "base/TextFile.h"

namespace base {

std::string HelpBookPage(const std::string& helpFile, const std::string& topic) {
    size_t slash = helpFile.find_last_of("/\\");
    std::string dir = slash == std::string::npos ? std::string() : helpFile.substr(0, slash + 1);
    return dir + "help/" + (topic.empty() ? std::string("index") : topic) + ".html";
}

bool TBookHelp::ShowContents(const std::string& helpFile) {
    std::string page = HelpBookPage(helpFile);
    return FileExists(page) && shell_.Open(page);
}

bool TBookHelp::ShowTopic(const std::string& helpFile, const std::string& topic) {
    std::string page = HelpBookPage(helpFile, topic);
    return FileExists(page) && shell_.Open(page);
}

}  // namespace base
