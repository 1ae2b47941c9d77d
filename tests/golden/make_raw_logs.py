#!/usr/bin/env python3
"""Writes the raw logs of the golden cases byte by byte from the logger's record layout.

Made without the project's own encoder, so a fault shared by encoder and decoder cannot hide:
a full record is 18 bytes (nine big-endian words, 32-bit coordinates low half first), a compact
record 8 bytes (10-bit delta codes: c <= 511 is +c, c >= 512 is 511 - c). Times are GPS week
modulo 1024 and seconds of week; the decoder subtracts a fixed 14 s to get UTC.

Run from anywhere: python3 tests/golden/make_raw_logs.py
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
GPS_EPOCH_UNIX = 315964800  # 1980-01-06 00:00:00 UTC


def ecef(lat, lon, h):
    a, e2 = 6378137.0, 0.006694379990141317
    la, lo = math.radians(lat), math.radians(lon)
    n = a / math.sqrt(1 - e2 * math.sin(la) ** 2)
    return (round((n + h) * math.cos(la) * math.cos(lo)),
            round((n + h) * math.cos(la) * math.sin(lo)),
            round((n * (1 - e2) + h) * math.sin(la)))


def words(*ws):
    return b"".join(struct.pack(">H", w & 0xFFFF) for w in ws)


def split32(v):
    v &= 0xFFFFFFFF
    return v & 0xFFFF, v >> 16  # low half first


def full(kind, speed, unix_utc, xyz):
    gps = unix_utc - GPS_EPOCH_UNIX + 14
    week, tow = divmod(gps, 604800)
    x, y, z = xyz
    return words(kind << 12 | speed, (tow & 0xF) << 12 | week % 1024, tow >> 4,
                 *split32(x), *split32(y), *split32(z))


def code(delta):
    assert -512 <= delta <= 511, delta
    return delta if delta >= 0 else 511 - delta


def compact(kind, speed, increment, dxyz):
    cx, cy, cz = (code(d) for d in dxyz)
    return words(kind << 12 | speed, increment, cx << 6 | (cy & 0x3F), (cy >> 6) << 12 | cz)


class Log:
    """Fixes in order; a full record starts the log and follows every long gap."""

    def __init__(self):
        self.data = b""
        self.pos = None
        self.t = None

    def fix(self, unix_utc, lat, lon, h, speed, kind=None):
        xyz = ecef(lat, lon, h)
        delta = None if self.pos is None else tuple(b - a for a, b in zip(self.pos, xyz))
        if kind in (4, 5, 6, 7) or delta is None or unix_utc - self.t > 0xFFFF or \
                any(not -512 <= d <= 511 for d in delta):
            self.data += full(kind if kind in (4, 5, 6, 7) else 4, speed, unix_utc, xyz)
        else:
            self.data += compact(kind or 8, speed, unix_utc - self.t, delta)
        self.pos, self.t = xyz, unix_utc

    def write(self, case, tail=b""):
        os.makedirs(os.path.join(HERE, case), exist_ok=True)
        with open(os.path.join(HERE, case, "input.log"), "wb") as f:
            f.write(self.data + tail)


def unix(y, mo, d, h, mi, s):
    days = (mo + 9) % 12
    yy = y - (1 if mo <= 2 else 0)
    era = yy // 400
    yoe = yy - era * 400
    doy = (153 * days + 2) // 5 + d - 1
    doe = yoe * 365 + yoe // 4 - yoe // 100 + doy
    return (era * 146097 + doe - 719468) * 86400 + h * 3600 + mi * 60 + s


def drive():
    """A drive east every 5 s: a spike, an over-speed stretch, a stop of 15 min, a lone fix
    between two stops, a last stretch."""
    log = Log()
    t = unix(2024, 5, 18, 7, 42, 10)
    lat, lon = 25.033000, 121.565000
    speeds = [30, 45, 60, 80, 95, 100, 110, 118, 125, 112, 96, 80, 64, 50, 40, 30, 20]
    for i, v in enumerate(speeds):
        step = v / 3.6 * 5  # metres in 5 s
        lon += step / (111320 * math.cos(math.radians(lat)))
        lat += 0.00002
        if i == 6:  # one fix jumps 500 m north and the next comes back
            log.fix(t, lat + 0.0045, lon, 12, v)
        else:
            log.fix(t, lat, lon, 12 + i * 0.4, v, kind=9 if i % 4 == 3 else None)
        t += 5
    t += 900  # stopped for 15 minutes, then one fix and another stop of 20 minutes
    log.fix(t, lat + 0.0001, lon + 0.0001, 14, 0, kind=5)
    t += 1200
    for i, v in enumerate([20, 40, 55, 60, 58, 40]):
        lat += v / 3.6 * 5 / 110574
        log.fix(t, lat, lon, 15 - i * 3.3, v, kind=6 if i == 0 else None)
        t += 5
    return log


def edges():
    """Decoder edges: delta codes 511, 512 (-1 m), 1023 (-512 m), every record kind, a time past
    the end of the GPS week, and a partial record at the end."""
    log = Log()
    # Saturday 23:59:40 UTC: 35 s later is the next GPS week, with the same week field.
    t = unix(2024, 5, 18, 23, 59, 40)
    x, y, z = ecef(-33.8688, 151.2093, 40)
    log.data += full(7, 1023, t, (x, y, z))
    log.data += compact(8, 0, 5, (511, -1, -512))
    log.data += compact(9, 3, 30, (0, 0, 0))
    log.data += full(5, 12, t + 100, (x + 100, y, z))
    log.data += full(6, 7, t + 200, (x, y - 100, z))
    return log.data + b"\x80\x01\x00"  # a compact record cut short


def bad_record():
    """Erased flash (0xFF) after three fixes: the fixes before it are kept."""
    log = Log()
    t = unix(2011, 3, 9, 23, 30, 0)
    for i in range(3):
        log.fix(t + 2 * i, 25.0 + i * 0.0001, 121.5, 10, 36)
    return log.data + b"\xff" * 18


if __name__ == "__main__":
    drive().write("drive")
    single = Log()
    single.fix(unix(2019, 4, 7, 0, 0, 0), 47.6062095, -122.3320708, -12.7, 100)
    single.write("single-fix")
    os.makedirs(os.path.join(HERE, "decode-edges"), exist_ok=True)
    with open(os.path.join(HERE, "decode-edges", "input.log"), "wb") as f:
        f.write(edges())
    os.makedirs(os.path.join(HERE, "decode-bad-record"), exist_ok=True)
    with open(os.path.join(HERE, "decode-bad-record", "input.log"), "wb") as f:
        f.write(bad_record())
