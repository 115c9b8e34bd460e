// Where a name leads, its symbolic links followed one by one as open() follows them: one of the process's
// descriptors, or the file the links end at, in the folder it lies in, opened as the name was followed. A name
// pinned leads where it led when it was pinned.
#pragma once

#include <memory>
#include <string>

namespace platform {

// A folder held open: names in it are made, renamed and removed relative to it, wherever its name leads by then.
class OpenFolder {
public:
    explicit OpenFolder(int descriptor) : descriptor_(descriptor) {}
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    int Descriptor() const { return descriptor_; }

private:
    int descriptor_;
};

// Where a name leads, its symbolic links followed one by one as open() follows them: one of the process's
// descriptors, or the file the links end at.
struct FileTarget {
    int descriptor = -1; // the descriptor the name is a name of; -1 for a file
    std::string path;    // else the file, with no link at its end; it may not exist yet
    int error = 0;       // why nothing can be written there: a link that cannot be followed, a folder that cannot be
                         // opened, or a descriptor that was not open for writing when the program started; 0 when
                         // nothing is known against it
    std::shared_ptr<const OpenFolder> folder = {}; // the folder `path` lies in, opened as the name was followed
    std::string leaf = {};                         // `path`'s last name, in `folder`
};

// Where `name` leads: where it led when it was pinned (PinnedName), else where it leads now.
FileTarget FollowName(const std::string& name);

// While it lives, `name` leads where it led when the pin was made: every AtomicFile of that name writes there,
// whatever its links lead to by then, so that what was checked of the target holds for the write.
class PinnedName {
public:
    explicit PinnedName(std::string name);
    ~PinnedName();
    PinnedName(const PinnedName&) = delete;
    PinnedName& operator=(const PinnedName&) = delete;

    const std::string& Name() const { return name_; }
    const FileTarget& Target() const { return target_; }

private:
    std::string name_;
    FileTarget target_;
};

} // namespace platform
