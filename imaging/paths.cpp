#include "imaging/paths.h"

namespace tavro {

std::string FolderPart(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNamePart(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
    auto slash = path.rfind('/');
    auto start = slash == std::string::npos ? 0 : slash + 1;
    auto dot = path.rfind('.');
    if (dot == std::string::npos || dot < start) return {};
    return path.substr(dot);
}

std::string ChangeExtension(const std::string& path, const std::string& ext) {
    return path.substr(0, path.size() - ExtensionOf(path).size()) + ext;
}

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string UpperExtension(const std::string& path) { return UpperCase(ExtensionOf(path)); }

std::string WithTrailingSlash(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + '/';
}

}  // namespace tavro
