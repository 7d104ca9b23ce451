// The file-system calls behind the records file, the one place that knows
// the operating system: a POSIX branch and a Win32 branch.
#ifndef DENTIVALE_MINEFIELD_RECORDS_FS_H
#define DENTIVALE_MINEFIELD_RECORDS_FS_H

#include <cstddef>

enum PathKind {
    PATH_MISSING,  // nothing by that name: a new file may be made
    PATH_REGULAR,  // a regular file, or a symbolic link to one
    PATH_OTHER,    // a directory, pipe, device, socket, dangling or looping
                   // link, or a path that cannot be looked at
};

PathKind path_kind(const char *path);

// Writes the bytes to a new file beside the file path names (beside its
// target, for a symbolic link), flushes it to the disk and renames it over
// the old one in one step. 0, or -1 with the old file as it was and no
// temporary file left. Refuses a target that is not a regular file.
int replace_file(const char *path, const void *bytes, size_t size);

// Removes the temporary files that replace_file calls killed half way left
// beside path, once they are older than max_age_seconds: younger ones may
// belong to a save of another running copy.
void remove_stale_temporaries(const char *path, int max_age_seconds);

#endif
