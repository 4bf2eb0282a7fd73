"""The .reg file format: values written exactly (any text, any type) for `wine reg import`, and
`wine reg export` files read back."""

from __future__ import annotations

import re
import struct

_HIVES = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE", "HKCR": "HKEY_CLASSES_ROOT",
          "HKU": "HKEY_USERS", "HKCC": "HKEY_CURRENT_CONFIG"}


def long_key(key: str) -> str:
    """The key with its hive's long name (HKCU becomes HKEY_CURRENT_USER), as exports name it."""
    hive, _, rest = key.partition("\\")
    hive = _HIVES.get(hive.upper(), hive)
    return hive + ("\\" + rest if rest else "")


def _reg_escape(text: str) -> str:
    return text.replace("\\", "\\\\").replace('"', '\\"')


def _hex_list(data: bytes) -> str:
    return ",".join(f"{b:02x}" for b in data)


def _reg_value_text(value) -> str:
    """One value's right-hand side in a .reg file: str, int (DWORD), bytes, list of str."""
    if isinstance(value, bool) or value is None:
        raise TypeError("registry values are str, int, bytes or a list of str")
    if isinstance(value, int):
        return f"dword:{value & 0xFFFFFFFF:08x}"
    if isinstance(value, (bytes, bytearray)):
        return "hex:" + _hex_list(bytes(value))
    if isinstance(value, list):
        return "hex(7):" + _hex_list(("\0".join(value) + "\0\0").encode("utf-16-le"))
    if any(c in value for c in "\r\n\0"):  # not representable between quotes
        return "hex(1):" + _hex_list((value + "\0").encode("utf-16-le"))
    return f'"{_reg_escape(value)}"'


def _reg_unescape(text: str) -> str:
    out, i = [], 0
    escapes = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "0": "\0", "t": "\t"}
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append(escapes.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def _parse_reg_data(data: str):
    if data.startswith('"'):
        return _reg_unescape(data[1:-1] if data.endswith('"') else data[1:])
    if data.startswith("dword:"):
        return int(data[6:], 16)
    m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)", data, re.S)
    if m:
        kind = int(m.group(1), 16) if m.group(1) else 3
        raw = bytes(int(h, 16) for h in re.findall(r"[0-9a-fA-F]{2}", m.group(2)))
        if kind in (1, 2):
            return raw.decode("utf-16-le").split("\0", 1)[0]
        if kind == 7:
            return [s for s in raw.decode("utf-16-le").split("\0") if s]
        if kind == 4:
            return struct.unpack("<I", raw[:4])[0]
        if kind == 11:
            return struct.unpack("<Q", raw[:8])[0]
        return raw
    return data


def parse_reg_file(text: str) -> dict:
    """{key (long hive name): {value name ("" for the default): value}} from a .reg export."""
    keys: dict[str, dict] = {}
    current = None
    lines = text.replace("\r\n", "\n").split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        # Hex data continues on the next line after a trailing backslash.
        while line.endswith("\\") and not line.rstrip().endswith('"') and i < len(lines):
            line = line[:-1] + lines[i].strip()
            i += 1
        if line.startswith("[") and line.rstrip().endswith("]"):
            current = keys.setdefault(line.strip()[1:-1], {})
            continue
        if current is None:
            continue
        if line.startswith("@="):
            current[""] = _parse_reg_data(line[2:])
            continue
        m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)', line, re.S)
        if m:
            current[_reg_unescape(m.group(1))] = _parse_reg_data(m.group(2))
    return keys


def reg_file(keys: dict) -> bytes:
    """A UTF-16 .reg file that writes {key: {name: value}} exactly. Values: str (REG_SZ), int
    (REG_DWORD), bytes (REG_BINARY), list of str (REG_MULTI_SZ); None deletes the value."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys.items():
        lines.append(f"[{long_key(key)}]")
        for name, value in values.items():
            left = "@" if name == "" else f'"{_reg_escape(name)}"'
            lines.append(f"{left}=" + ("-" if value is None else _reg_value_text(value)))
        lines.append("")
    return b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le")


def read_reg_export(raw: bytes, key: str) -> dict:
    """{name: value} of one key in the bytes of a `wine reg export` file (UTF-16 or UTF-8)."""
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode(
        "utf-8", errors="replace")
    return parse_reg_file(text).get(long_key(key), {})
