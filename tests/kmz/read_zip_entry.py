#!/usr/bin/env python3
"""Reads one entry of a ZIP container through Python's zipfile or GDAL's
/vsizip/, a chunk at a time, and exits 0 only when the reader gives as many
bytes as the central directory says (and SIZE, when given), with its CRC-32.

  read_zip_entry.py zipfile|gdal CONTAINER ENTRY [SIZE]
"""
import sys
import zlib
import zipfile


def chunks_from_zipfile(container, entry):
    with zipfile.ZipFile(container) as z, z.open(entry) as f:
        while chunk := f.read(1 << 24):
            yield chunk


def chunks_from_gdal(container, entry):
    from osgeo import gdal
    gdal.UseExceptions()
    f = gdal.VSIFOpenL(f"/vsizip/{container}/{entry}", "rb")
    try:
        while chunk := gdal.VSIFReadL(1, 1 << 24, f):
            yield chunk
    finally:
        gdal.VSIFCloseL(f)


def main():
    reader, container, entry = sys.argv[1:4]
    with zipfile.ZipFile(container) as z:
        info = z.getinfo(entry)
    if len(sys.argv) > 4 and info.file_size != int(sys.argv[4]):
        print(f"the directory says {info.file_size} bytes, not {sys.argv[4]}")
        return 1
    chunks = chunks_from_zipfile if reader == "zipfile" else chunks_from_gdal
    size, crc = 0, 0
    for chunk in chunks(container, entry):
        size += len(chunk)
        crc = zlib.crc32(chunk, crc)
    if (size, crc) != (info.file_size, info.CRC):
        print(f"{reader}: {size} bytes, CRC {crc:08x}; the directory says {info.file_size}, {info.CRC:08x}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
