"""The 32-bit Windows program as it ships and its download, checked without running it (these machines cannot)."""

import os
import re
import struct
import subprocess
import time
import unittest
import zipfile

import pefile
import xdriver

EXE = os.environ["DENTIVALE_WIN32_EXE"]
PE = pefile.PE(EXE)
EPOCH = int(os.environ["DENTIVALE_EPOCH"])
ZIP = os.path.join(os.path.dirname(EXE), "dentivale-%s-win32.zip" % os.environ["DENTIVALE_VERSION"])
SYSTEM_DLLS = {"kernel32", "user32", "gdi32", "ole32", "msvcrt", "ddraw", "dsound",  # in every Windows:
               "winmm", "advapi32", "comdlg32", "shell32", "dinput"}  # others would travel beside it


def resources(kind):
    """{name or id: bytes} of one resource type in stored order, first language of each."""
    [of_kind] = [e for e in PE.DIRECTORY_ENTRY_RESOURCE.entries if e.id == pefile.RESOURCE_TYPE[kind]]
    stored = {str(e.name) if e.name else e.id: e.directory.entries[0].data.struct for e in of_kind.directory.entries}
    return {key: PE.get_data(data.OffsetToData, data.Size) for key, data in stored.items()}


class Win32ProgramTest(unittest.TestCase):
    def test_a_32_bit_windows_gui_program_needing_only_the_dlls_every_windows_has(self):
        # i386, PE32 (not PE32+), the GUI subsystem (no console window)
        self.assertEqual((0x14C, 0x10B, 2),
                         (PE.FILE_HEADER.Machine, PE.OPTIONAL_HEADER.Magic, PE.OPTIONAL_HEADER.Subsystem))
        dlls = {entry.dll.decode().lower()[:-4] for entry in PE.DIRECTORY_ENTRY_IMPORT}
        self.assertEqual(set(), dlls - SYSTEM_DLLS)

    def test_icon_groups_a_then_allegro_icon_with_four_32_bit_sizes(self):
        images, groups = resources("RT_ICON"), resources("RT_GROUP_ICON")
        self.assertEqual(["A", "ALLEGRO_ICON"], list(groups))
        for name, group in groups.items():
            self.assertEqual((0, 1, 4), struct.unpack_from("<HHH", group), name)  # reserved, icons, count
            entries = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(4)]
            # Each as wide as high, 32-bit, and as long as the image it names.
            self.assertEqual([(16, 16, 32, True), (32, 32, 32, True), (48, 48, 32, True), (64, 64, 32, True)],
                             sorted((w, h, bits, size == len(images[image]))
                                    for w, h, _, _, _, bits, size, image in entries), name)

    def test_carries_the_datafile_of_the_linux_build(self):
        with open(os.environ["DENTIVALE_DATA"], "rb") as f:
            self.assertEqual(f.read()[4:], xdriver.attached_datafile(EXE))  # less its magic

    def test_aslr_and_dep_the_builds_time_and_no_build_folder(self):
        # DYNAMIC_BASE and NX_COMPAT, and HIGH_ENTROPY_VA for the 64-bit twin that Wine runs with them
        for exe, flags in ((PE, 0x140), (pefile.PE(os.environ["DENTIVALE_WIN64_EXE"]), 0x160)):
            relocations = exe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
            self.assertEqual((EPOCH, flags, True), (exe.FILE_HEADER.TimeDateStamp,
                                                    exe.OPTIONAL_HEADER.DllCharacteristics & 0x160, relocations.Size > 0))
        with open(EXE, "rb") as f:
            data = f.read()
        folders = (os.environ["DENTIVALE_SOURCE"], os.path.dirname(EXE), os.path.dirname(os.environ["DENTIVALE_GAME"]))
        self.assertEqual([], [folder for folder in folders if os.fsencode(folder) in data])

    def test_the_download_holds_this_program_its_texts_and_the_fonts_licences_all_at_the_builds_time(self):
        with zipfile.ZipFile(ZIP) as download, open(EXE, "rb") as f:
            self.assertEqual(["dentivale.exe", "README.txt", "COPYRIGHT.txt", "licences/LiberationSans-Regular.txt",
                              "licences/DejaVuSansMono-Bold.txt", "licences/Comfortaa-Bold.txt"], download.namelist())
            self.assertEqual(f.read(), download.read("dentivale.exe"))
            t = time.gmtime(EPOCH)  # a zip keeps seconds in steps of two
            self.assertEqual({t[:5] + (t[5] // 2 * 2,)}, {info.date_time for info in download.infolist()})
            texts = {name: download.read(name) for name in download.namelist()[1:]}
        for name, text in texts.items():
            self.assertNotIn(b"\n", text.replace(b"\r\n", b""), name)  # Notepad's line ends only
        ofl = b"SIL OPEN FONT LICENSE Version 1.1"
        for (name, text), licence in zip(list(texts.items())[2:], (ofl, b"Bitstream Vera", ofl)):
            self.assertIn(licence, text, name)

    def test_no_aligned_32_byte_vector_moves_on_the_stack(self):
        # Windows aligns the stack to 16 bytes at most, and GCC cannot
        # realign it there: a 256-bit value kept on it must be moved
        # unaligned, or the AVX2 loop faults on a machine that has AVX2.
        code = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn", EXE],
                              capture_output=True, text=True, check=True).stdout
        self.assertIn("ymm", code, "the AVX2 loop is missing")
        aligned = re.findall(r"vmov(?:dqa|aps|apd)\s+\S*(?:ymm\S*\(%e[sb]p\)|\(%e[sb]p\)\S*ymm)\S*", code)
        self.assertEqual([], aligned[:5])


if __name__ == "__main__":
    unittest.main(verbosity=2)
