// The path rules every part of the program uses.
//
// The folder part of a path is everything up to and including its last "/" (empty
// when there is none); the file-name part is the rest; the extension is the part of
// the file-name part from its last "." on, dot included (empty when there is none).
// Changing the extension replaces that part, or appends the new one. Extensions are
// compared in upper case (ASCII letters only: names are bytes, not text).
#pragma once

#include <string>

namespace tavro {

std::string FolderPart(const std::string& path);
std::string FileNamePart(const std::string& path);
std::string ExtensionOf(const std::string& path);
std::string ChangeExtension(const std::string& path, const std::string& ext);
std::string UpperCase(std::string text);
// The extension in upper case, ready for comparison with ".K", ".G" and the like.
std::string UpperExtension(const std::string& path);
// A folder path with exactly one trailing "/" (an empty folder stays empty).
std::string WithTrailingSlash(const std::string& folder);

}  // namespace tavro
