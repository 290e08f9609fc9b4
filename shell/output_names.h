// Names the batch processor derives from a path: the file name shown in the password dialog,
// the container and plain-file names a command writes, and the line of information above the
// password. Separators are "\" (and "/") on Windows, "/" elsewhere.
#pragma once

#include <cstddef>
#include <string>

bool IsPathSeparator(char c);
// The separator the platform's folder enumeration puts between a folder and its entries.
char PathSeparator();

// The part of the path after its last separator (the whole path when it has none).
std::string FileNamePart(const std::string &path);
// The path with one trailing separator removed, unless that would leave nothing.
std::string WithoutTrailingSeparator(const std::string &path);

// The container's name for a plain file: the path + ".qxv".
std::string EncryptedName(const std::string &path);
// The plain file's name for a container: without its extension when that is ".qxv" in any
// letter case (and a name remains), else the path + ".dec".
std::string DecryptedName(const std::string &path);

// Whether the file name ends in ".qxv" in any letter case: a name that claims a container.
bool HasContainerExtension(const std::string &path);

// "Encrypting 3 files.", "Decrypting file: notes.txt.qxv", "Encrypting directory: /home/docs";
// `first` is the only selected item when count is 1.
std::string InformationText(bool encrypt, size_t count, const std::string &first,
                            bool firstIsFolder);
