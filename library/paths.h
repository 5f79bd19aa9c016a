// The path arithmetic of a library run: joining, splitting off the folder or the name, and
// the tree that an output folder mirrors.
#ifndef LIBRARY_PATHS_H_
#define LIBRARY_PATHS_H_

#include <string>

// `name` below `folder`, with a "/" between them unless the folder ends in a separator; `name`
// alone when the folder is empty.
std::string joinPath(const std::string& folder, const std::string& name);

// The path's folder part, ending in a separator, or empty.
std::string folderOf(const std::string& path);

// The path's file name.
std::string nameOf(const std::string& path);

// A path as the tree below an output folder mirrors it: no drive, no root, no "." or "..".
std::string mirroredPath(const std::string& path);

#endif  // LIBRARY_PATHS_H_
