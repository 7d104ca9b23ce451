"""The 32-bit Windows program as it ships: its header, the DLLs it needs,
its icons, its attached data and its vector code. Nothing here runs it:
these machines cannot run 32-bit programs."""

import os
import re
import struct
import subprocess
import unittest

import xdriver

EXE = os.environ["DENTIVALE_WIN32_EXE"]
OBJDUMP = "i686-w64-mingw32-objdump"

# DLLs that come with every Windows; anything else would have to travel
# beside the program.
SYSTEM_DLLS = {"kernel32", "user32", "gdi32", "ole32", "msvcrt", "ddraw", "dsound",
               "winmm", "advapi32", "comdlg32", "shell32", "dinput"}
RT_ICON, RT_GROUP_ICON = 3, 14
IMAGE_FILE_MACHINE_I386, PE32_MAGIC, SUBSYSTEM_WINDOWS_GUI = 0x14C, 0x10B, 2


class PeFile:
    """Just enough of the PE format to read the headers and resources."""

    def __init__(self, data):
        self.data = data
        (pe,) = struct.unpack_from("<I", data, 0x3C)
        if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", data, pe + 4)
        optional = pe + 24
        self.magic, = struct.unpack_from("<H", data, optional)
        self.subsystem, = struct.unpack_from("<H", data, optional + 68)
        directories = optional + (96 if self.magic == PE32_MAGIC else 112)
        self.resource_rva, _ = struct.unpack_from("<II", data, directories + 2 * 8)
        self.sections = []
        for i in range(sections):
            at = optional + optional_size + 40 * i
            size, rva, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("RVA 0x%x lies in no section" % rva)

    def _entries(self, directory):
        """(name or id, offset of the subdirectory or data entry), in stored order."""
        base = self.offset(self.resource_rva)
        named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                length, = struct.unpack_from("<H", self.data, base + (name & 0x7FFFFFFF))
                start = base + (name & 0x7FFFFFFF) + 2
                name = self.data[start:start + 2 * length].decode("utf-16-le")
            yield name, target & 0x7FFFFFFF

    def resources(self, kind):
        """[(name, bytes)] of one resource type, first language of each."""
        base = self.offset(self.resource_rva)
        found = []
        for type_id, names in self._entries(0):
            if type_id != kind:
                continue
            for name, languages in self._entries(names):
                _, entry = next(self._entries(languages))
                rva, size = struct.unpack_from("<II", self.data, base + entry)
                found.append((name, self.data[self.offset(rva):self.offset(rva) + size]))
        return found


class Win32ProgramTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(EXE, "rb") as f:
            cls.pe = PeFile(f.read())

    def test_is_a_32_bit_windows_gui_program(self):
        self.assertEqual((IMAGE_FILE_MACHINE_I386, PE32_MAGIC, SUBSYSTEM_WINDOWS_GUI),
                         (self.pe.machine, self.pe.magic, self.pe.subsystem))

    def test_needs_only_the_dlls_every_windows_has(self):
        listing = subprocess.run([OBJDUMP, "-p", EXE], capture_output=True, text=True,
                                 check=True).stdout
        dlls = {name.lower()[:-4] for name in re.findall(r"DLL Name: (\S+)", listing)}
        self.assertIn("kernel32", dlls)
        self.assertEqual(set(), dlls - SYSTEM_DLLS)

    def test_icon_groups_a_then_allegro_icon_with_four_32_bit_sizes(self):
        images = dict(self.pe.resources(RT_ICON))
        groups = self.pe.resources(RT_GROUP_ICON)
        self.assertEqual(["A", "ALLEGRO_ICON"], [name for name, _ in groups])
        for name, group in groups:
            reserved, kind, count = struct.unpack_from("<HHH", group)
            self.assertEqual((0, 1, 4), (reserved, kind, count), name)
            entries = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(count)]
            self.assertEqual([(16, 16, 32), (32, 32, 32), (48, 48, 32), (64, 64, 32)],
                             sorted((w, h, bits) for w, h, _, _, _, bits, _, _ in entries), name)
            for *_, size, image_id in entries:
                self.assertEqual(size, len(images[image_id]), "%s image %d" % (name, image_id))

    def test_carries_the_datafile_of_the_linux_build(self):
        with open(os.environ["DENTIVALE_DATA"], "rb") as f:
            packed = f.read()
        self.assertEqual(packed[4:], xdriver.attached_datafile(EXE))

    def test_no_aligned_32_byte_vector_moves_on_the_stack(self):
        # Windows aligns the stack to 16 bytes at most, and GCC cannot
        # realign it there: a 256-bit value kept on it must be moved
        # unaligned, or the AVX2 loop faults on a machine that has AVX2.
        code = subprocess.run([OBJDUMP, "-d", "--no-show-raw-insn", EXE], capture_output=True,
                              text=True, check=True).stdout
        self.assertIn("ymm", code, "the AVX2 loop is missing")
        aligned = re.findall(r"vmov(?:dqa|aps|apd)\s+[^\n]*ymm[^\n]*\(%e[sb]p\)[^\n]*|"
                             r"vmov(?:dqa|aps|apd)\s+[^\n]*\(%e[sb]p\)[^\n]*ymm[^\n]*", code)
        self.assertEqual([], aligned[:5])


if __name__ == "__main__":
    unittest.main(verbosity=2)
