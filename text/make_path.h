// Splitting a path into drive, directory, name and extension, and rebuilding
// it from a chosen subset of those parts.
#ifndef TEXT_MAKE_PATH_H_
#define TEXT_MAKE_PATH_H_

// Rewrites `path` in place with the kept components in the order drive,
// directory, name, extension. The drive is the first two characters when the
// second is ":"; the directory runs up to and including the last "\" or "/";
// the extension starts at the last "." of the final component; a final
// component "." or ".." belongs to the directory. Double-byte characters of the
// system's code page are stepped over whole. The result is never longer than
// the input, and with all four flags set it equals the input.
void makePath(char* path, bool keepDrive, bool keepDirectory, bool keepName, bool keepExtension);

#endif  // TEXT_MAKE_PATH_H_
