#include "io/unnamed_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <vector>

std::string temporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

Descriptor unnamedFile(const std::string& folder, int& error)
{
    Descriptor file(open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (file.fd >= 0)
        return file;
    // File systems and kernels without O_TMPFILE get a named file that is
    // unlinked before anything is written to it.
    std::string pattern = folder + "/labelgrade-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    file = Descriptor(mkostemp(name.data(), O_CLOEXEC));
    if (file.fd < 0 || unlink(name.data()) != 0) {
        error = errno;
        return Descriptor();
    }
    return file;
}
