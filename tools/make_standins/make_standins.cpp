// make-standins DIR: writes the show's inputs that DIR lacks: the soundtrack
// "cud.mod" and the seven pictures, all made here from nothing. A file that
// is already there is never touched. Prints one line per file written.

#include "assets/scene.h"
#include "tools/make_standins/module_writer.h"
#include "tools/make_standins/pcx_writer.h"
#include "tools/make_standins/pictures.h"
#include "tools/make_standins/soundtrack.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef O_BINARY
#define O_BINARY 0  // only Windows turns line ends in files opened without it
#endif

namespace {

// Creates the file only if it does not exist yet (O_EXCL), so that a file
// that a user put there, even one that appears while we work, survives.
// Returns 0, or the errno of the failure (EEXIST: someone was first).
int WriteNew(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0644);
    if (fd < 0)
        return errno;
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size() && !error) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? EIO : errno;
    }
    if (close(fd) != 0 && !error)
        error = errno;
    if (error)
        unlink(path.c_str());  // no half-written input for the show
    return error;
}

// A link counts as there even when it leads nowhere.
bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-standins DIR\n"
                             "Writes cud.mod and the seven pictures that DIR lacks; never overwrites a file.\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code ignored;  // judged by the check below
    std::filesystem::create_directories(dir, ignored);
    if (!std::filesystem::is_directory(dir)) {
        std::fprintf(stderr, "make-standins: %s is not a folder we can create\n", dir.c_str());
        return 1;
    }

    // Each file's bytes are made only when the file is missing.
    std::vector<std::pair<std::string, std::function<std::vector<std::uint8_t>()>>> files;
    files.emplace_back("cud.mod", [] { return WriteModule(MakeSoundtrack()); });
    for (const PictureTexture& picture : PictureTextures) {
        const std::string name = picture.fileName;
        files.emplace_back(name, [name] { return WritePcx(DrawPicture(name), PictureSide, PictureSide); });
    }

    int failures = 0;
    for (const auto& [name, make] : files) {
        const std::string path = dir + "/" + name;
        if (Exists(path))
            continue;
        const int error = WriteNew(path, make());
        if (!error) {
            std::printf("wrote %s\n", path.c_str());
        } else if (error != EEXIST) {
            std::fprintf(stderr, "make-standins: cannot write %s: %s\n", path.c_str(), std::strerror(error));
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
