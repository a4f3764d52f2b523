#!/usr/bin/python3
"""A folder mounted with the name rules of a FAT stick, for tests: names are compared without regard to case,
dots and spaces that end a name are dropped, the characters FAT refuses are refused, and there are no links
(hard or symbolic) and no unnamed files. Everything else passes through to a real folder.

    fat_folder.py <backing folder> <mount point>     runs in the foreground until unmounted
"""
import errno
import os
import sys

import fusepy

REFUSED = set('\\:*?"<>|')


def key(name):
    return name.rstrip('. ').casefold()


class FatFolder(fusepy.Operations):
    def __init__(self, backing):
        self.backing = backing

    def _find(self, path):
        """The backing path of `path`, each name matched as FAT matches it; a missing last name as FAT stores it."""
        real = self.backing
        names = [n for n in path.split('/') if n]
        for i, name in enumerate(names):
            match = None
            if os.path.isdir(real):
                wanted = key(name)
                match = next((n for n in os.listdir(real) if key(n) == wanted), None)
            if match is None:
                if i < len(names) - 1:
                    raise fusepy.FuseOSError(errno.ENOENT)
                match = name.rstrip('. ') or name
            real = os.path.join(real, match)
        return real

    def _new(self, path):
        name = path.rsplit('/', 1)[-1]
        if any(c in REFUSED for c in name) or any(ord(c) < 32 for c in name):
            raise fusepy.FuseOSError(errno.EINVAL)
        return self._find(path)

    def getattr(self, path, fh=None):
        st = os.lstat(self._find(path))
        return {k: getattr(st, k) for k in ('st_mode', 'st_nlink', 'st_size', 'st_uid', 'st_gid', 'st_atime',
                                            'st_mtime', 'st_ctime', 'st_ino')}

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self._find(path))

    def mkdir(self, path, mode):
        real = self._new(path)
        if os.path.lexists(real):
            raise fusepy.FuseOSError(errno.EEXIST)
        os.mkdir(real, mode)

    def rmdir(self, path):
        os.rmdir(self._find(path))

    def unlink(self, path):
        os.unlink(self._find(path))

    def link(self, target, source):
        raise fusepy.FuseOSError(errno.EPERM)

    def symlink(self, target, source):
        raise fusepy.FuseOSError(errno.EPERM)

    def rename(self, old, new):
        os.replace(self._find(old), self._new(new))

    def create(self, path, mode, fi=None):
        return os.open(self._new(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def open(self, path, flags):
        return os.open(self._find(path), flags & ~(os.O_CREAT | os.O_EXCL))

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self._find(path), length)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)

    def chmod(self, path, mode):
        return 0

    def chown(self, path, uid, gid):
        return 0

    def utimens(self, path, times=None):
        os.utime(self._find(path), times)

    def statfs(self, path):
        st = os.statvfs(self.backing)
        return {k: getattr(st, k) for k in ('f_bavail', 'f_bfree', 'f_blocks', 'f_bsize', 'f_favail', 'f_ffree',
                                            'f_files', 'f_flag', 'f_frsize', 'f_namemax')}


if __name__ == '__main__':
    backing, mount_point = sys.argv[1:3]
    # No caching of names or attributes: every look-up asks, as FAT's own rules must answer it.
    fusepy.FUSE(FatFolder(os.path.abspath(backing)), mount_point, foreground=True, nothreads=True, use_ino=True,
                attr_timeout=0, entry_timeout=0, negative_timeout=0)
