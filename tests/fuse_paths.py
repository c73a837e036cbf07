"""What fuse_folder.py takes of fusepy (FUSE, FuseOSError and Operations, whose methods take
paths, with fusepy's answers for the methods a file system leaves out), on pyfuse3, which works
with inode numbers: for a Debian release that has pyfuse3 alone. Each call runs in a thread of
its own, as with fusepy, so that a slow one holds up no other."""
import errno
import os

import pyfuse3
import trio


class FuseOSError(OSError):
    def __init__(self, code):
        super().__init__(code, os.strerror(code))


class Operations:
    """fusepy's defaults for the calls that reach a file system here."""

    def __call__(self, op, *args):
        if not hasattr(self, op):
            raise FuseOSError(errno.EFAULT)
        return getattr(self, op)(*args)

    def chmod(self, path, mode):
        raise FuseOSError(errno.EROFS)

    def chown(self, path, uid, gid):
        raise FuseOSError(errno.EROFS)

    def utimens(self, path, times=None):
        return 0

    def flush(self, path, fh):
        return 0

    def statfs(self, path):
        return {}


class Inodes(pyfuse3.Operations):
    """The kernel's calls on inode numbers turned into a path-based file system's calls."""

    def __init__(self, folder):
        super().__init__()
        self.folder = folder
        self.paths = {pyfuse3.ROOT_INODE: "/"}
        self.numbers = {"/": pyfuse3.ROOT_INODE}
        self.handles = {}  # open file handle: its path

    async def call(self, op, *args):
        try:
            return await trio.to_thread.run_sync(self.folder, op, *args)
        except OSError as error:
            raise pyfuse3.FUSEError(error.errno or errno.EIO) from error

    def path(self, parent, name):
        return self.paths[parent].rstrip("/") + "/" + os.fsdecode(name)

    def number(self, path):
        if path not in self.numbers:
            self.numbers[path] = max(self.paths) + 1
            self.paths[self.numbers[path]] = path
        return self.numbers[path]

    async def attributes(self, path, fh=None):
        st = await self.call("getattr", path, fh)
        entry = pyfuse3.EntryAttributes()
        entry.st_ino = self.number(path)
        entry.entry_timeout = entry.attr_timeout = 1.0  # libfuse's own, as under fusepy
        for name in ("st_mode", "st_nlink", "st_uid", "st_gid", "st_size"):
            setattr(entry, name, st.get(name, 0))
        entry.st_atime_ns = entry.st_mtime_ns = st.get("st_mtime", 0)
        entry.st_ctime_ns = st.get("st_ctime", 0)
        entry.st_blksize, entry.st_blocks = 4096, (entry.st_size + 511) // 512
        return entry

    async def lookup(self, parent_inode, name, ctx=None):
        return await self.attributes(self.path(parent_inode, name))

    async def getattr(self, inode, ctx=None):
        return await self.attributes(self.paths[inode])

    async def setattr(self, inode, attr, fields, fh, ctx):
        path = self.paths[inode]
        if fields.update_mode:
            await self.call("chmod", path, attr.st_mode)
        if fields.update_uid or fields.update_gid:
            await self.call("chown", path, attr.st_uid if fields.update_uid else -1,
                            attr.st_gid if fields.update_gid else -1)
        if fields.update_size:
            await self.call("truncate", path, attr.st_size, fh)
        if fields.update_atime or fields.update_mtime:
            await self.call("utimens", path, (attr.st_atime_ns, attr.st_mtime_ns))
        return await self.attributes(path, fh)

    async def opendir(self, inode, ctx):
        return inode

    async def readdir(self, fh, start_id, token):
        path = self.paths[fh]
        names = [n for n in await self.call("readdir", path, fh) if n not in (".", "..")]
        for index in range(start_id, len(names)):
            child = path.rstrip("/") + "/" + names[index]
            try:
                entry = await self.attributes(child)
            except pyfuse3.FUSEError:
                continue  # gone meanwhile
            if not pyfuse3.readdir_reply(token, os.fsencode(names[index]), entry, index + 1):
                break

    async def releasedir(self, fh):
        pass

    async def open(self, inode, flags, ctx):
        fh = await self.call("open", self.paths[inode], flags)
        self.handles[fh] = self.paths[inode]
        return pyfuse3.FileInfo(fh=fh)

    async def create(self, parent_inode, name, mode, flags, ctx):
        path = self.path(parent_inode, name)
        fh = await self.call("create", path, mode)
        self.handles[fh] = path
        return pyfuse3.FileInfo(fh=fh), await self.attributes(path, fh)

    async def read(self, fh, off, size):
        return await self.call("read", self.handles[fh], size, off, fh)

    async def write(self, fh, off, buf):
        return await self.call("write", self.handles[fh], buf, off, fh)

    async def fsync(self, fh, datasync):
        await self.call("fsync", self.handles[fh], datasync, fh)

    async def flush(self, fh):
        await self.call("flush", self.handles[fh], fh)

    async def release(self, fh):
        await self.call("release", self.handles.pop(fh), fh)

    async def unlink(self, parent_inode, name, ctx):
        path = self.path(parent_inode, name)
        await self.call("unlink", path)
        self.numbers.pop(path, None)  # a file made there next is another inode

    async def rename(self, parent_inode_old, name_old, parent_inode_new, name_new, flags, ctx):
        if flags:
            raise pyfuse3.FUSEError(errno.EINVAL)  # as fusepy, whose libfuse has no flags
        old, new = self.path(parent_inode_old, name_old), self.path(parent_inode_new, name_new)
        await self.call("rename", old, new)
        number = self.numbers.pop(old, None)
        if number is not None:
            self.numbers[new], self.paths[number] = number, new

    async def link(self, inode, new_parent_inode, new_name, ctx):
        new = self.path(new_parent_inode, new_name)
        await self.call("link", new, self.paths[inode])
        return await self.attributes(new)

    async def statfs(self, ctx):
        data, values = pyfuse3.StatvfsData(), await self.call("statfs", "/")
        for name, value in values.items():
            setattr(data, name, value)
        return data


def FUSE(operations, mountpoint, foreground=True, **options):
    """Mounts `operations` at `mountpoint` until unmounted, with fusepy's options given as
    keywords (True for a flag)."""
    flags = set(pyfuse3.default_options) | {"fsname=fuse_folder"}
    flags |= {name if value is True else f"{name}={value}"
              for name, value in options.items() if value is not False}
    pyfuse3.init(Inodes(operations), mountpoint, flags)
    try:
        trio.run(pyfuse3.main)
    finally:
        pyfuse3.close(unmount=False)
