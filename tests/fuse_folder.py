#!/usr/bin/python3
"""A folder as some FUSE file systems give it (exFAT, a phone over MTP, some network shares):
no hard links, no rename flags, no files without a name; the locks are the kernel's own.
Mirrors SOURCE at MOUNTPOINT until unmounted:  fuse_folder.py SOURCE MOUNTPOINT"""
import errno
import os
import sys

from fusepy import FUSE, FuseOSError, Operations


class Folder(Operations):
    use_ns = True

    def __init__(self, root):
        self.root = root

    def __call__(self, op, *args):
        if not hasattr(self, op):
            raise FuseOSError(errno.ENOSYS)
        try:
            return getattr(self, op)(*args)
        except OSError as error:
            raise FuseOSError(error.errno) from error

    def getattr(self, path, fh=None):
        st = os.lstat(self.root + path)
        return {name.replace('_ns', ''): getattr(st, name) for name in (
            'st_mode', 'st_nlink', 'st_uid', 'st_gid', 'st_size', 'st_mtime_ns', 'st_ctime_ns')}

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self.root + path)

    def link(self, target, source):
        raise FuseOSError(errno.EPERM)

    def create(self, path, mode, fi=None):
        return os.open(self.root + path, os.O_RDWR | os.O_CREAT | os.O_EXCL, mode)

    def open(self, path, flags):
        return os.open(self.root + path, flags)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self.root + path, length)

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)

    def unlink(self, path):
        os.unlink(self.root + path)

    def rename(self, old, new):
        os.rename(self.root + old, self.root + new)


if __name__ == '__main__':
    FUSE(Folder(os.path.realpath(sys.argv[1])), sys.argv[2], foreground=True, allow_other=True,
         default_permissions=True)
