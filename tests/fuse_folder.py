#!/usr/bin/python3
"""A folder as some FUSE file systems give it (exFAT, a phone over MTP, some network shares):
no hard links, no rename flags, no files without a name. Mirrors SOURCE at MOUNTPOINT until
unmounted; the locks are the kernel's own.

    fuse_folder.py SOURCE MOUNTPOINT
"""
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

    def real(self, path):
        return self.root + path

    def getattr(self, path, fh=None):
        st = os.lstat(self.real(path))
        names = ('st_mode', 'st_nlink', 'st_uid', 'st_gid', 'st_size', 'st_atime_ns',
                 'st_mtime_ns', 'st_ctime_ns')
        attrs = {name.replace('_ns', ''): getattr(st, name) for name in names}
        return attrs

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self.real(path))

    def readlink(self, path):
        return os.readlink(self.real(path))

    def link(self, target, source):
        raise FuseOSError(errno.EPERM)

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def create(self, path, mode, fi=None):
        return os.open(self.real(path), os.O_RDWR | os.O_CREAT | os.O_EXCL, mode)

    def open(self, path, flags):
        return os.open(self.real(path), flags)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self.real(path), length)

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        return {name: getattr(st, name) for name in dir(st) if name.startswith('f_')}

    def utimens(self, path, times=None):
        os.utime(self.real(path), ns=times)

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid)

    def access(self, path, amode):
        if not os.access(self.real(path), amode):
            raise FuseOSError(errno.EACCES)

    def unlink(self, path):
        os.unlink(self.real(path))

    def symlink(self, target, source):
        os.symlink(source, self.real(target))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))


if __name__ == '__main__':
    FUSE(Folder(os.path.realpath(sys.argv[1])), sys.argv[2], foreground=True, allow_other=True,
         default_permissions=True)
