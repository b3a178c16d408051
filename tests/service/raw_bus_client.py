"""One connection to a bus that sends several calls before any answer comes, which busctl and
dbus-send cannot (each makes one call and waits for it). Just enough of the D-Bus wire format for
the service's calls: strings, uint32 and booleans in the body."""

import os
import socket
import struct

BUS = "org.freedesktop.DBus"


def _pad(data, boundary):
    return data + b"\0" * (-len(data) % boundary)


def _string(text, code="s"):
    raw = text.encode()
    if code == "g":
        return bytes([len(raw)]) + raw + b"\0"
    return struct.pack("<I", len(raw)) + raw + b"\0"


def _body(signature, arguments):
    body = b""
    for code, value in zip(signature, arguments):
        if code == "s":
            body = _pad(body, 4) + _string(value)
        elif code in "ub":
            body = _pad(body, 4) + struct.pack("<I", int(value))
        else:
            raise ValueError(code)
    return body


class RawBusClient:
    def __init__(self, address):
        path = address.removeprefix("unix:path=")
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.connect(path)
        self.socket.settimeout(60)
        self.buffer = b""
        self.serial = 0
        self.answers = {}
        uid = str(os.getuid()).encode().hex()
        self.socket.sendall(b"\0AUTH EXTERNAL " + uid.encode() + b"\r\n")
        line = self._line()
        if not line.startswith(b"OK"):
            raise AssertionError(f"the bus refused the authentication: {line!r}")
        self.socket.sendall(b"BEGIN\r\n")
        hello = self.call(BUS, "/org/freedesktop/DBus", BUS, "Hello", "", [])
        self.name = self.wait(hello)[2]

    def _line(self):
        while b"\r\n" not in self.buffer:
            self.buffer += self.socket.recv(4096)
        line, _, self.buffer = self.buffer.partition(b"\r\n")
        return line

    def call(self, destination, path, interface, member, signature, arguments,
             interactive=False):
        """Sends the call and gives its serial, without waiting."""
        self.serial += 1
        body = _body(signature, arguments)
        fields = [(1, "o", path), (2, "s", interface), (3, "s", member), (6, "s", destination)]
        if signature:
            fields.append((8, "g", signature))
        array = b""
        for code, kind, value in fields:
            array = _pad(array, 8) + bytes([code]) + _string(kind, "g") + _string(value, kind)
        flags = 0x4 if interactive else 0
        header = struct.pack("<cBBBIII", b"l", 1, flags, 1, len(body), self.serial, len(array))
        self.socket.sendall(_pad(header + array, 8) + body)
        return self.serial

    def _message(self):
        """The next message: (type, reply serial, the error name or the first string argument)."""
        while len(self.buffer) < 16:
            self.buffer += self.socket.recv(65536)
        _, message_type, _, _, body_length, _, fields_length = struct.unpack(
            "<cBBBIII", self.buffer[:16])
        total = len(_pad(b"\0" * (16 + fields_length), 8)) + body_length
        while len(self.buffer) < total:
            self.buffer += self.socket.recv(65536)
        message, self.buffer = self.buffer[:total], self.buffer[total:]
        fields = message[16:16 + fields_length]
        reply_to, error, signature = 0, None, ""
        at = 0
        while at < len(fields):
            at += -at % 8
            code = fields[at]
            kind_length = fields[at + 1]
            kind = fields[at + 2:at + 2 + kind_length].decode()
            at += 3 + kind_length
            if kind in "so":
                at += -at % 4
                length = struct.unpack("<I", fields[at:at + 4])[0]
                value = fields[at + 4:at + 4 + length].decode()
                at += 5 + length
            elif kind == "g":
                length = fields[at]
                value = fields[at + 1:at + 1 + length].decode()
                at += 2 + length
            else:
                at += -at % 4
                value = struct.unpack("<I", fields[at:at + 4])[0]
                at += 4
            if code == 5:
                reply_to = value
            elif code == 4:
                error = value
            elif code == 8:
                signature = value
        first = None
        body = message[total - body_length:]
        if signature.startswith("s"):
            length = struct.unpack("<I", body[:4])[0]
            first = body[4:4 + length].decode()
        return message_type, reply_to, error if error else first

    def wait(self, serial):
        """The answer to the call of that serial: ("return" or "error", error name, first string)."""
        while serial not in self.answers:
            kind, reply_to, text = self._message()
            if kind in (2, 3):
                self.answers[reply_to] = (("return" if kind == 2 else "error"),
                                          (text if kind == 3 else None), text)
        return self.answers.pop(serial)

    def close(self):
        self.socket.close()
