// make-standins DIR: writes the show's inputs that DIR lacks: the soundtrack
// "cud.mod" and the seven pictures, all made here from nothing. A file that
// is already there is never touched. Prints one line per file written.

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
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

enum class Outcome { Written, Kept, Failed };

// Creates the file only if it does not exist yet (O_EXCL), so that a file
// that a user put there, even one that appears while we work, survives.
Outcome WriteNew(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return errno == EEXIST ? Outcome::Kept : Outcome::Failed;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            unlink(path.c_str());  // no half-written input for the show
            return Outcome::Failed;
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) {
        unlink(path.c_str());
        return Outcome::Failed;
    }
    return Outcome::Written;
}

bool Exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-standins DIR\n"
                             "Writes cud.mod and the seven pictures that DIR lacks; never overwrites a file.\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (!std::filesystem::is_directory(dir)) {
        std::fprintf(stderr, "make-standins: %s is not a folder we can create\n", dir.c_str());
        return 1;
    }

    // Each file is made only when it is missing: the soundtrack takes a while.
    std::vector<std::pair<std::string, std::function<std::vector<std::uint8_t>()>>> files;
    files.emplace_back("cud.mod", [] { return WriteModule(MakeSoundtrack()); });
    for (const std::string& name : PictureNames())
        files.emplace_back(name, [name] { return WritePcx(DrawPicture(name), PictureSide, PictureSide); });

    int failures = 0;
    for (const auto& [name, make] : files) {
        const std::string path = dir + "/" + name;
        if (Exists(path))
            continue;
        switch (WriteNew(path, make())) {
        case Outcome::Written:
            std::printf("wrote %s\n", path.c_str());
            break;
        case Outcome::Kept:
            break;
        case Outcome::Failed:
            std::fprintf(stderr, "make-standins: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
            ++failures;
            break;
        }
    }
    return failures ? 1 : 0;
}
