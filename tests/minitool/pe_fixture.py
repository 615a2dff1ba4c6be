"""Small PE images for minitool's tests, built byte by byte (PE32 or PE32+),
and an independent reader of the header fields the tests check."""
import struct

FILE_ALIGNMENT = 0x200
SECTION_ALIGNMENT = 0x1000
SETTINGS_AREA = 20480
SETTINGS_TEXT = ("[params]\r\nChannelName=web|gl|official|direct\r\nChannelNumber=GL\r\n\r\n"
                 "[global]\r\nVERSION_INFO_URL=http://dl.%domain%/%snewver%s.xml\r\n\r\n"
                 "[DataReport]\r\nReportURLMini=http://stat.%domain%/cgi-bin-py/mini_install_statistic_info.cgi\r\n")


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def settings_area(text=SETTINGS_TEXT):
    data = b"\xff\xfe" + text.encode("utf-16-le") + b"\0\0"
    return data + b"\0" * (SETTINGS_AREA - len(data))


def build(pe32plus, sections=None, size_of_headers=0x400, section_count=None):
    """A PE image with the given (name, data) sections; by default a code
    section and a settings area. Its checksum is left 0."""
    if sections is None:
        sections = [(b".text", b"\xc3" * 64), (b".brkcfg", settings_area())]
    optional_size = 240 if pe32plus else 224
    dos = bytearray(0x40)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 0x40)
    file_header = struct.pack("<HHIIIHH", 0x8664 if pe32plus else 0x14C,
                              len(sections) if section_count is None else section_count, 0, 0, 0, optional_size,
                              0x22 if pe32plus else 0x102)
    table = bytearray()
    raw = bytearray()
    raw_offset = size_of_headers
    va = SECTION_ALIGNMENT
    for name, data in sections:
        raw_size = align(len(data), FILE_ALIGNMENT)
        table += struct.pack("<8sIIIIIIHHI", name, len(data), va, raw_size, raw_offset, 0, 0, 0, 0, 0x40000040)
        raw += data + b"\0" * (raw_size - len(data))
        raw_offset += raw_size
        va += align(len(data), SECTION_ALIGNMENT)
    size_of_image = va
    if pe32plus:
        optional = struct.pack("<HBBIIIII", 0x20B, 2, 40, 0x200, len(raw), 0, 0x1000, 0x1000)
        optional += struct.pack("<Q", 0x140000000)
    else:
        optional = struct.pack("<HBBIIIIII", 0x10B, 2, 40, 0x200, len(raw), 0, 0x1000, 0x1000, 0x2000)
        optional += struct.pack("<I", 0x400000)
    optional += struct.pack("<IIHHHHHHIIIIHH", SECTION_ALIGNMENT, FILE_ALIGNMENT, 4, 0, 0, 0, 5, 2, 0,
                            size_of_image, size_of_headers, 0, 2, 0)
    sizes = (0x100000, 0x1000, 0x100000, 0x1000)
    optional += struct.pack("<QQQQ" if pe32plus else "<IIII", *sizes)
    optional += struct.pack("<II", 0, 16) + b"\0" * 128
    assert len(optional) == optional_size
    headers = bytes(dos) + b"PE\0\0" + file_header + optional + bytes(table)
    assert len(headers) <= size_of_headers, "the headers do not fit"
    return headers + b"\0" * (size_of_headers - len(headers)) + bytes(raw)


class Headers:
    """The header fields of an image that the tests look at."""

    def __init__(self, image):
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        self.file_header = pe + 4
        self.section_count, = struct.unpack_from("<H", image, pe + 6)
        optional_size, = struct.unpack_from("<H", image, pe + 20)
        self.optional = pe + 24
        self.magic, = struct.unpack_from("<H", image, self.optional)
        self.pe32plus = self.magic == 0x20B
        self.section_alignment, self.file_alignment = struct.unpack_from("<II", image, self.optional + 32)
        self.size_of_image, self.size_of_headers, self.checksum = struct.unpack_from("<III", image, self.optional + 56)
        self.checksum_offset = self.optional + 64
        directories = self.optional + (112 if self.pe32plus else 96)
        self.security_entry = directories + 4 * 8
        self.security = struct.unpack_from("<II", image, self.security_entry)
        self.sections = []
        table = self.optional + optional_size
        for i in range(self.section_count):
            name, vsize, va, rsize, roff = struct.unpack_from("<8sIIII", image, table + 40 * i)
            self.sections.append({"name": name.rstrip(b"\0").decode("latin-1"), "vsize": vsize, "va": va,
                                  "rsize": rsize, "roff": roff, "header": table + 40 * i})
        self.table_end = table + 40 * self.section_count

    def section(self, name):
        return next((s for s in self.sections if s["name"].lower() == name.lower()), None)


def pe_checksum(image):
    """The image-help checksum, with the checksum field counted as zero."""
    at = Headers(image).checksum_offset
    data = bytearray(image)
    data[at:at + 4] = b"\0\0\0\0"
    if len(data) % 2:
        data += b"\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF
