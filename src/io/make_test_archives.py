#!/usr/bin/env python3
"""Makes the archives the archive layer's tests read, that its own zip
writer cannot write: tars of every entry type, hostile names, compressed
tars, encrypted and damaged zips, bombs.

usage: make_test_archives.py FOLDER NAME...   (writes FOLDER/NAME for each)
       make_test_archives.py FOLDER all       (makes the folder and all of them)
"""
import gzip
import io
import lzma
import os
import random
import struct
import subprocess
import sys
import tarfile
import tempfile
import zipfile
import zlib

MIB = 1 << 20
SYMBOLS = b"0000 START\n0003 INIT\n"


def tar_bytes(members, fmt=tarfile.GNU_FORMAT):
    """members: (TarInfo fields as a dict, data) pairs."""
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w", format=fmt) as tar:
        for fields, data in members:
            info = tarfile.TarInfo(fields.pop("name"))
            for key, value in fields.items():
                setattr(info, key, value)
            info.size = len(data) if info.type in (tarfile.REGTYPE, tarfile.AREGTYPE) else 0
            tar.addfile(info, io.BytesIO(data))
    return out.getvalue()


def regular(name, data=SYMBOLS):
    return ({"name": name}, data)


def zip_bytes(entries, method=zipfile.ZIP_DEFLATED):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", method) as archive:
        for name, data in entries:
            archive.writestr(name, data)
    return out.getvalue()


# Deflate output that ends in a full flush refers to nothing before it, so
# one megabyte of zeros compressed once can be repeated to stand for
# gigabytes without compressing them.
def deflated(data):
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    return compressor.compress(data) + compressor.flush(zlib.Z_FULL_FLUSH)


FINAL_EMPTY_BLOCK = b"\x03\x00"


def gzip_of_pieces(pieces, crc, size):
    """A gzip member of raw deflate pieces, with the given trailer."""
    header = b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03"
    return header + b"".join(pieces) + FINAL_EMPTY_BLOCK + crc.to_bytes(4, "little") + (size & 0xFFFFFFFF).to_bytes(4, "little")


def tar_header(name, size):
    info = tarfile.TarInfo(name)
    info.size = size
    return info.tobuf(format=tarfile.USTAR_FORMAT)


class RepeatingCompressor:
    """Stands in for zipfile's compressor, for megabytes of zeros."""
    block = deflated(bytes(MIB))

    def compress(self, data):
        assert data == bytes(MIB)
        return self.block

    def flush(self):
        return FINAL_EMPTY_BLOCK


def zip_of_zeros(mebibytes, streamed):
    """A zip of one entry of zeros, then a small file.  Streamed, it is
    written as to a pipe: sizes come after the data, so that a reader of the
    local headers cannot know them."""
    out = io.BytesIO()
    with zipfile.ZipFile(NonSeekable(out) if streamed else out, "w", zipfile.ZIP_DEFLATED) as archive:
        real = zipfile._get_compressor
        zipfile._get_compressor = lambda *args, **kwargs: RepeatingCompressor()
        try:
            with archive.open("zeros.sym", "w", force_zip64=True) as entry:
                zeros = bytes(MIB)
                for _ in range(mebibytes):
                    entry.write(zeros)
        finally:
            zipfile._get_compressor = real
        archive.writestr("after.sym", SYMBOLS)
    return out.getvalue()


class NonSeekable(io.RawIOBase):
    def __init__(self, out):
        self.out = out

    def writable(self):
        return True

    def write(self, data):
        return self.out.write(data)

    def flush(self):
        pass


def make_kinds_tar():
    return tar_bytes([
        ({"name": "s", "type": tarfile.DIRTYPE}, b""),
        regular("s/t1.sym"),
        ({"name": "s/inside", "type": tarfile.SYMTYPE, "linkname": "t1.sym"}, b""),
        ({"name": "s/absolute", "type": tarfile.SYMTYPE, "linkname": "/etc/passwd"}, b""),
        ({"name": "s/hard", "type": tarfile.LNKTYPE, "linkname": "s/t1.sym"}, b""),
        ({"name": "s/fifo", "type": tarfile.FIFOTYPE}, b""),
        ({"name": "s/char", "type": tarfile.CHRTYPE, "devmajor": 1, "devminor": 5}, b""),
        ({"name": "s/block", "type": tarfile.BLKTYPE, "devmajor": 8, "devminor": 0}, b""),
        regular("s/t2.sym", b"0000 LAST\n"),
    ])


def make_names_tar():
    # GNU format keeps every name as raw bytes; the pax member adds names
    # marked UTF-8, composed and decomposed.
    gnu = tar_bytes([
        regular("/etc/passwd"),
        regular("../escape.sym"),
        regular("s/../../escape.sym"),
        regular(os.fsdecode(b"M\xfcller/t1.sym")),
        regular("s/./t1.sym"),
    ])
    pax = tar_bytes([regular("m\u00fcller/t1.sym"), regular("mu\u0308ller/t2.sym")], tarfile.PAX_FORMAT)
    # Two archives one after the other would end at the first one's end
    # marker: keep only the GNU members, then the pax ones.
    return gnu[: gnu_members_end(gnu)] + pax


def gnu_members_end(data):
    """Where the members of a tar end, before its two zero blocks."""
    with tarfile.open(fileobj=io.BytesIO(data)) as tar:
        last = tar.getmembers()[-1]
        return last.offset_data + ((last.size + 511) // 512) * 512


def make_names_zip():
    data = bytearray(zip_bytes([("LATIN1/t1.sym", SYMBOLS), ("\u00e9t\u00e9/t1.sym", SYMBOLS), ("\u00e0\u00e0/t1.sym", SYMBOLS), ("after.sym", SYMBOLS)]))
    # A name without the UTF-8 flag, in Latin-1; and one with the flag whose
    # bytes are not UTF-8.
    data = data.replace(b"LATIN1", b"M\xfcller")
    return bytes(data.replace("\u00e0\u00e0".encode(), b"\xff\xfe\xc3\x28"))


def make_links_zip():
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "t1.sym"), "wb") as f:
            f.write(SYMBOLS)
        os.symlink("t1.sym", os.path.join(folder, "inside"))
        os.symlink("/etc/passwd", os.path.join(folder, "absolute"))
        out = os.path.join(folder, "out.zip")
        subprocess.run(["zip", "-q", "-y", out, "t1.sym", "inside", "absolute"], cwd=folder, check=True)
        with open(out, "rb") as f:
            return f.read()


def make_encrypted_zip():
    with tempfile.TemporaryDirectory() as folder:
        for name in ("secret.sym", "open.sym"):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(SYMBOLS)
        out = os.path.join(folder, "out.zip")
        subprocess.run(["zip", "-q", "-P", "password", out, "secret.sym"], cwd=folder, check=True)
        subprocess.run(["zip", "-q", out, "open.sym"], cwd=folder, check=True)
        with open(out, "rb") as f:
            return f.read()


def class_tar():
    random.seed(7)
    members = [regular("s%03d/t1.sym" % i, random.randbytes(3000)) for i in range(200)]
    return tar_bytes(members)


def make_corrupt_midway_tar_gz():
    data = bytearray(gzip.compress(class_tar(), mtime=0))
    middle = len(data) // 2
    data[middle:middle + 64] = bytes(b ^ 0x55 for b in data[middle:middle + 64])
    return bytes(data)


def make_corrupt_member_zip():
    random.seed(8)
    entries = [("s%03d/t1.sym" % i, random.randbytes(1000) + SYMBOLS * 50) for i in range(10)]
    data = bytearray(zip_bytes(entries))
    with zipfile.ZipFile(io.BytesIO(bytes(data))) as archive:
        info = archive.getinfo("s004/t1.sym")
    # The local header is 30 bytes and the name; its data follows.
    start = info.header_offset + 30 + len(info.filename)
    data[start + 10:start + 40] = bytes(30)
    return bytes(data)


def make_bomb_tar_gz():
    """A student's tar.gz of three entries of 60 MiB of zeros each: each is
    under a file's cap, the three together over a student archive's bound."""
    pieces = []
    stream_crc = 0
    size = 0
    zeros = bytes(MIB)
    for name in ("a.sym", "b.sym", "c.sym"):
        header = tar_header(name, 60 * MIB)
        pieces.append(deflated(header))
        stream_crc = zlib.crc32(header, stream_crc)
        pieces.extend([RepeatingCompressor.block] * 60)
        for _ in range(60):
            stream_crc = zlib.crc32(zeros, stream_crc)
        size += len(header) + 60 * MIB
    end = bytes(1024)
    pieces.append(deflated(end))
    return gzip_of_pieces(pieces, zlib.crc32(end, stream_crc), size + len(end))


def make_huge_entry_tar_gz():
    """A tar.gz whose one entry says it holds 3 GiB, more than a class's
    bound: its first megabyte of zeros is all there is, since a reader
    that heeds the header never looks further."""
    header = tar_header("huge.sym", 3 << 30)
    return gzip_of_pieces([deflated(header), RepeatingCompressor.block], 0, 0)


def make_stored_streamed_zip():
    """Stored entries with their sizes after their data, as a streaming
    writer makes them; ann's file ends its own entry early, with a data
    descriptor of its own, and carries a local header for bob/t1.sym."""
    own = b"0000 A\n"
    forged = b"0000 B\n"
    name = b"bob/t1.sym"
    ends_early = b"PK\x07\x08" + struct.pack("<III", zlib.crc32(own), len(own), len(own))
    header = b"PK\x03\x04" + struct.pack("<HHHHHIIIHH", 20, 0, 0, 0, 0x21, zlib.crc32(forged), len(forged),
                                           len(forged), len(name), 0) + name
    out = io.BytesIO()
    with zipfile.ZipFile(NonSeekable(out), "w", zipfile.ZIP_STORED) as archive:
        archive.writestr("ann/t1.sym", own + ends_early + header + forged)
        archive.writestr("cy/t1.sym", SYMBOLS)
    return out.getvalue()


SAMPLES = {
    "stored-streamed.zip": make_stored_streamed_zip,
    "kinds.tar": make_kinds_tar,
    "names.tar": make_names_tar,
    "names.zip": make_names_zip,
    "links.zip": make_links_zip,
    "encrypted.zip": make_encrypted_zip,
    "class.tar.gz": lambda: gzip.compress(class_tar(), mtime=0),
    "class.tar.xz": lambda: lzma.compress(class_tar()),
    "class.tar.gz.gz": lambda: gzip.compress(gzip.compress(class_tar(), mtime=0), mtime=0),
    "truncated.tar.gz": lambda: gzip.compress(class_tar(), mtime=0)[:300000],
    "truncated.zip": lambda: zip_bytes([("s%03d/t1.sym" % i, random.Random(i).randbytes(2000)) for i in range(20)])[:15000],
    "corrupt-midway.tar.gz": make_corrupt_midway_tar_gz,
    "corrupt-member.zip": make_corrupt_member_zip,
    "garbage.bin": lambda: random.Random(9).randbytes(5000),
    "empty.bin": lambda: b"",
    "text.sym.gz": lambda: gzip.compress(SYMBOLS, mtime=0),
    "lzma.zip": lambda: zip_bytes([("t1.sym", SYMBOLS), ("after.sym", SYMBOLS)], zipfile.ZIP_LZMA),
    "bomb.zip": lambda: zip_of_zeros(1024, streamed=False),
    "bomb-streamed.zip": lambda: zip_of_zeros(1024, streamed=True),
    "bomb.tar.gz": make_bomb_tar_gz,
    "huge-entry.tar.gz": make_huge_entry_tar_gz,
}


def main():
    folder, names = sys.argv[1], sys.argv[2:]
    if names == ["all"]:
        os.makedirs(folder, exist_ok=True)
        names = list(SAMPLES)
    for name in names:
        data = SAMPLES[name]()
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
