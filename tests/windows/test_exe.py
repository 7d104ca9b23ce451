"""The 32-bit Windows program as it ships: its header, the DLLs it needs,
its icons, its attached data and its vector code. Nothing here runs it:
these machines cannot run 32-bit programs."""

import os
import re
import struct
import subprocess
import unittest

import pefile
import xdriver

EXE = os.environ["DENTIVALE_WIN32_EXE"]

# DLLs that come with every Windows; anything else would have to travel
# beside the program.
SYSTEM_DLLS = {"kernel32", "user32", "gdi32", "ole32", "msvcrt", "ddraw", "dsound",
               "winmm", "advapi32", "comdlg32", "shell32", "dinput"}


class Win32ProgramTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(EXE)

    def resources(self, kind):
        """{name or id: bytes} of one resource type in stored order, first language of each."""
        found = {}
        for group in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            if group.id == pefile.RESOURCE_TYPE[kind]:
                for entry in group.directory.entries:
                    data = entry.directory.entries[0].data.struct
                    name = str(entry.name) if entry.name else entry.id
                    found[name] = self.pe.get_data(data.OffsetToData, data.Size)
        return found

    def test_a_32_bit_windows_gui_program_needing_only_the_dlls_every_windows_has(self):
        self.assertEqual((pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], pefile.OPTIONAL_HEADER_MAGIC_PE,
                          pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]),
                         (self.pe.FILE_HEADER.Machine, self.pe.OPTIONAL_HEADER.Magic,
                          self.pe.OPTIONAL_HEADER.Subsystem))
        dlls = {entry.dll.decode().lower()[:-4] for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertIn("kernel32", dlls)
        self.assertEqual(set(), dlls - SYSTEM_DLLS)

    def test_icon_groups_a_then_allegro_icon_with_four_32_bit_sizes(self):
        images = self.resources("RT_ICON")
        groups = self.resources("RT_GROUP_ICON")
        self.assertEqual(["A", "ALLEGRO_ICON"], list(groups))
        for name, group in groups.items():
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
        code = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn", EXE],
                              capture_output=True, text=True, check=True).stdout
        self.assertIn("ymm", code, "the AVX2 loop is missing")
        aligned = re.findall(r"vmov(?:dqa|aps|apd)\s+[^\n]*ymm[^\n]*\(%e[sb]p\)[^\n]*|"
                             r"vmov(?:dqa|aps|apd)\s+[^\n]*\(%e[sb]p\)[^\n]*ymm[^\n]*", code)
        self.assertEqual([], aligned[:5])


if __name__ == "__main__":
    unittest.main(verbosity=2)
