#!/usr/bin/env python3
"""Checks the Windows release archive as a user receives it.

    release_check.py ZIP OBJDUMP WINDRES WINDOWS_DOC

The archive holds both programs (stripped, each with the icon, version
information and manifest), the font with its licence, the notices and the
README; the texts open in every Notepad (UTF-8 with a byte order mark, CR LF);
the SHA-256 file beside the archive is right. Exit 0 when all hold, 77 when
there is no archive (it is built by the target tarvel_windows_zip), 1 otherwise.
"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import zipfile

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def windows_text(name, data):
    check(data.startswith(b"\xef\xbb\xbf"), name + ": no UTF-8 byte order mark")
    check(b"\n" in data and data.count(b"\n") == data.count(b"\r\n"), name + ": not CR LF throughout")
    try:
        return data[3:].decode("utf-8")
    except UnicodeDecodeError:
        check(False, name + ": not UTF-8")
        return ""


def main(argv):
    zip_path, objdump, windres, repo_readme = argv[1:5]
    if not os.path.exists(zip_path):
        print("SKIP: no archive at " + zip_path)
        return 77
    base = os.path.basename(zip_path)
    version = re.fullmatch(r"tarvel-(\d+\.\d+)-windows\.zip", base)
    check(version is not None, base + ": the name carries no version")
    top = base[:-len(".zip")] + "/"

    with open(zip_path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    try:
        with open(zip_path + ".sha256", "rb") as f:
            check(f.read() == ("%s  %s\n" % (digest, base)).encode(), "the .sha256 file does not match")
    except OSError:
        check(False, "no .sha256 file beside the archive")

    z = zipfile.ZipFile(zip_path)
    names = {i.filename for i in z.infolist() if not i.is_dir()}
    wanted = ["tarvel.exe", "tarvel-report.exe", "tarvel-fix.exe", "mplus-2m-regular.ttf", "mplus-2m-regular.LICENSE.txt",
              "THIRD-PARTY-NOTICES.txt", "README.txt"]
    check(names == {top + n for n in wanted}, "contents: %s" % sorted(names))

    readme = windows_text("README.txt", z.read(top + "README.txt"))
    notices = windows_text("THIRD-PARTY-NOTICES.txt", z.read(top + "THIRD-PARTY-NOTICES.txt"))
    windows_text("mplus-2m-regular.LICENSE.txt", z.read(top + "mplus-2m-regular.LICENSE.txt"))
    # Japanese first, then English; both name the notices.
    jp, en = readme.find("使い方"), readme.find("What Tarvel does")
    check(0 <= jp < en, "README.txt: not Japanese first, then English")
    for part in ("THIRD-PARTY-NOTICES.txt", "tarvel-report.exe", "tarvel-fix.exe", "Program Files", "cap(1).bmp"):
        check(part in readme[:en] and part in readme[en:], "README.txt: one language does not name " + part)
    with open(repo_readme, encoding="utf-8") as f:
        check("THIRD-PARTY-NOTICES.txt" in f.read(), "the Windows doc does not name THIRD-PARTY-NOTICES.txt")
    for part in ("The FreeType Project", "FreeType License", "winpthreads", "GCC RUNTIME LIBRARY EXCEPTION",
                 "VLGothic", "Wada Laboratory", "M+ FONTS"):
        check(part in notices, "THIRD-PARTY-NOTICES.txt lacks " + part)

    with tempfile.TemporaryDirectory() as tmp:
        for exe in ("tarvel.exe", "tarvel-report.exe", "tarvel-fix.exe"):
            path = z.extract(top + exe, tmp)
            heads = subprocess.run([objdump, "-h", path], capture_output=True, text=True).stdout
            check(".rsrc" in heads, exe + ": no resources")
            check(".debug" not in heads, exe + ": not stripped")
            rc = subprocess.run([windres, "-i", path, "-O", "rc"], capture_output=True, text=True).stdout
            check(re.search(r'VALUE "ProductName", "Tarvel"', rc) is not None, exe + ": no product name")
            if version:
                v = version.group(1)
                major, minor = v.split(".")
                check('VALUE "FileVersion", "%s"' % v in rc, exe + ": file version is not " + v)
                check("FILEVERSION %s, %s, 0, 0" % (major, minor) in rc, exe + ": numeric version is not " + v)
            check('VALUE "OriginalFilename", "%s"' % exe in rc, exe + ": wrong original file name")
            check(re.search(r'VALUE "FileDescription", "[^"]+"', rc) is not None, exe + ": no description")
            check(re.search(r'VALUE "LegalCopyright", "[^"]+"', rc) is not None, exe + ": no copyright")
            # the icon group: 16 to 256 pixels ("\000" stands for 256)
            sizes = re.findall(r'"\\(\d{3})\\(\d{3})\\000\\000", 1, 32', rc)
            px = sorted(int(w, 8) or 256 for w, _ in sizes)
            check(px and px[0] == 16 and px[-1] == 256, exe + ": icon sizes %s" % px)
            manifest = "".join(re.findall(r'^\s*"(.*)\\n"$', rc, re.M)).replace('""', '"')
            check("Microsoft.Windows.Common-Controls" in manifest and 'version="6.0.0.0"' in manifest,
                  exe + ": no common controls 6 in the manifest")
            for os_id in ("35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                          "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"):
                check(os_id in manifest, exe + ": manifest lacks supportedOS " + os_id)
            check("dpiAware" in manifest, exe + ": no DPI setting in the manifest")
            check("activeCodePage" not in manifest, exe + ": the manifest changes the code page")

    for f in failures:
        print("FAIL: " + f)
    if not failures:
        print("release archive checked: " + base)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
