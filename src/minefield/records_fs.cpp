// The records file's operating-system calls, POSIX and Win32.
//
// A replacement is written to "<name>.tmp" plus six characters beside the
// file it replaces and renamed over it; a kill between the two leaves that
// temporary, which a later start removes once it is stale.
#include "records_fs.h"

#include <ctime>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

namespace {

const char TEMP_TAG[] = ".tmp";
constexpr size_t TEMP_UNIQUE = 6;  // characters after the tag, as mkstemp's XXXXXX

// The part of path before its file name, separator included; "" for none.
std::string directory_part(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A temporary of ours: the file's name, the tag and exactly six characters.
bool is_temporary_name(const std::string &name, const std::string &file_name)
{
    return name.size() == file_name.size() + sizeof TEMP_TAG - 1 + TEMP_UNIQUE
           && name.compare(0, file_name.size(), file_name) == 0
           && name.compare(file_name.size(), sizeof TEMP_TAG - 1, TEMP_TAG) == 0;
}

}  // namespace

#ifdef _WIN32

namespace {

// Six characters that differ between processes, ticks and attempts; the
// file is created only if the name is free, so a clash costs one attempt.
std::string unique_suffix(unsigned attempt)
{
    static const char DIGITS[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned value = GetCurrentProcessId() * 2654435761u ^ GetTickCount() ^ attempt * 40503u;
    std::string suffix;
    for (size_t i = 0; i < TEMP_UNIQUE; i++, value /= 36)
        suffix += DIGITS[value % 36];
    return suffix;
}

unsigned long long ticks_of(const FILETIME &t)  // 100 ns units
{
    return static_cast<unsigned long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

}  // namespace

PathKind path_kind(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PATH_MISSING
                                                                               : PATH_OTHER;
    }
    return attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE) ? PATH_OTHER
                                                                            : PATH_REGULAR;
}

int replace_file(const char *path, const void *bytes, size_t size)
{
    PathKind kind = path_kind(path);
    if (kind == PATH_OTHER)
        return -1;
    // A file made read-only is left alone, as writing it in place would.
    if (kind == PATH_REGULAR && (GetFileAttributesA(path) & FILE_ATTRIBUTE_READONLY))
        return -1;
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; attempt++) {
        temporary = std::string(path) + TEMP_TAG + unique_suffix(attempt);
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD error = GetLastError();
        if (file == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return -1;
    }
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) && written == size
              && FlushFileBuffers(file);
    if (!CloseHandle(file))
        ok = false;
    if (!ok || !MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return -1;
    }
    return 0;
}

void remove_stale_temporaries(const char *path, int max_age_seconds)
{
    const std::string file = path, directory = directory_part(file);
    const std::string file_name = file.substr(directory.size());
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((file + TEMP_TAG + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FILETIME now_time;
    GetSystemTimeAsFileTime(&now_time);
    const unsigned long long now = ticks_of(now_time);
    const unsigned long long max_age = static_cast<unsigned long long>(max_age_seconds) * 10000000u;
    do {
        unsigned long long written = ticks_of(found.ftLastWriteTime);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            && is_temporary_name(found.cFileName, file_name) && now > written && now - written > max_age)
            DeleteFileA((directory + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

#else

namespace {

// Writing through a symbolic link replaces the file it points at, as
// writing in place would, rather than the link itself.
std::string resolved_target(const char *path)
{
    char *real = realpath(path, nullptr);
    if (!real)
        return path;
    std::string target = real;
    std::free(real);
    return target;
}

// The replacement keeps the old file's permissions, as rewriting it in
// place would; a new file gets what the umask leaves of rw-rw-rw-.
void copy_permissions(int fd, const std::string &target)
{
    struct stat old_file;
    if (stat(target.c_str(), &old_file) == 0) {
        fchmod(fd, old_file.st_mode & 07777);
        return;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

bool write_all(int fd, const unsigned char *bytes, size_t size)
{
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The rename itself is made durable too; a failure here loses nothing, so
// it is not reported.
void sync_directory(const std::string &directory)
{
    int fd = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

}  // namespace

PathKind path_kind(const char *path)
{
    struct stat link, file;
    if (lstat(path, &link) != 0)
        return errno == ENOENT ? PATH_MISSING : PATH_OTHER;
    // stat follows a symbolic link: one that leads nowhere fails here.
    if (stat(path, &file) != 0)
        return PATH_OTHER;
    return S_ISREG(file.st_mode) ? PATH_REGULAR : PATH_OTHER;
}

int replace_file(const char *path, const void *bytes, size_t size)
{
    std::string target = resolved_target(path);
    PathKind kind = path_kind(target.c_str());
    if (kind == PATH_OTHER)
        return -1;
    // A file made read-only is left alone, as writing it in place would.
    if (kind == PATH_REGULAR && access(target.c_str(), W_OK) != 0)
        return -1;
    std::string temporary = target + TEMP_TAG + std::string(TEMP_UNIQUE, 'X');
    int fd = mkstemp(&temporary[0]);
    if (fd < 0)
        return -1;
    copy_permissions(fd, target);
    bool written = write_all(fd, static_cast<const unsigned char *>(bytes), size) && fsync(fd) == 0;
    if (close(fd) != 0)
        written = false;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return -1;
    }
    sync_directory(directory_part(target));
    return 0;
}

void remove_stale_temporaries(const char *path, int max_age_seconds)
{
    const std::string target = resolved_target(path), directory = directory_part(target);
    const std::string file_name = target.substr(directory.size());
    DIR *listing = opendir(directory.empty() ? "." : directory.c_str());
    if (!listing)
        return;
    const time_t now = time(nullptr);
    while (const dirent *entry = readdir(listing)) {
        const std::string full = directory + entry->d_name;
        struct stat info;
        if (is_temporary_name(entry->d_name, file_name) && lstat(full.c_str(), &info) == 0
            && S_ISREG(info.st_mode) && now - info.st_mtime > max_age_seconds)
            unlink(full.c_str());
    }
    closedir(listing);
}

#endif
