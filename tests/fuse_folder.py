#!/usr/bin/python3
"""A folder as some FUSE file systems give it (exFAT, a phone over MTP, some network shares):
no hard links, no rename flags, no files without a name; the locks are the kernel's own.
Mirrors SOURCE at MOUNTPOINT until unmounted:  fuse_folder.py [OPTION...] SOURCE MOUNTPOINT
  --slow-sync SECONDS  each fsync takes that long, as on slow storage
  --lost-creates       every create loses to another machine's copy, whose file (empty so far)
                       is there first, and answers EPERM, as sshfs does
  --hold OPERATION:FLAG  each call of OPERATION (fsync, write, ...) waits until the file FLAG
                       exists, as a server that stopped answering; "holding OPERATION" is printed
                       as the first such call waits
  --fail OPERATION:ERRNO  each call of OPERATION fails with that error (ENOSPC, EIO, ...)"""
import argparse
import errno
import os
import time

try:
    from fusepy import FUSE, FuseOSError, Operations
except ImportError:  # a release with pyfuse3 alone
    from fuse_paths import FUSE, FuseOSError, Operations


class Folder(Operations):
    use_ns = True

    def __init__(self, root, options):
        self.root = root
        self.options = options

    def __call__(self, op, *args):
        if not hasattr(self, op):
            raise FuseOSError(errno.ENOSYS)
        if op in self.options.held and not os.path.exists(self.options.held[op]):
            print(f"holding {op}", flush=True)
        while op in self.options.held and not os.path.exists(self.options.held[op]):
            time.sleep(0.01)
        if op in self.options.failing:
            raise FuseOSError(getattr(errno, self.options.failing[op]))
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
        if self.options.lost_creates:
            os.close(os.open(self.root + path, os.O_WRONLY | os.O_CREAT, mode))
            raise FuseOSError(errno.EPERM)
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
        time.sleep(self.options.slow_sync)
        os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)

    def unlink(self, path):
        os.unlink(self.root + path)

    def rename(self, old, new):
        os.rename(self.root + old, self.root + new)


if __name__ == '__main__':
    parser = argparse.ArgumentParser()
    parser.add_argument('--slow-sync', type=float, default=0)
    parser.add_argument('--lost-creates', action='store_true')
    parser.add_argument('--hold', action='append', default=[], metavar='OPERATION:FLAG')
    parser.add_argument('--fail', action='append', default=[], metavar='OPERATION:ERRNO')
    parser.add_argument('source')
    parser.add_argument('mountpoint')
    arguments = parser.parse_args()
    arguments.held = dict(hold.split(':', 1) for hold in arguments.hold)
    arguments.failing = dict(fail.split(':', 1) for fail in arguments.fail)
    FUSE(Folder(os.path.realpath(arguments.source), arguments), arguments.mountpoint,
         foreground=True, allow_other=True, default_permissions=True)
