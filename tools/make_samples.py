#!/usr/bin/env python3
"""Build the demo parameter files in data/samples from the definitions in data/ZPA.

Each sample is an image dump (PageCount * 256 bytes from the image base) followed
by the 48 identification bytes; the ZEV 071 - 083 file is always 272 bytes with
identification bytes 16..31 at offsets 256..271.  Every parameter of the
definition gets a value inside its Min..Max, encoded the way the controller
stores it; a few values that other parts of the program depend on (voltage
factors, access code, ratio words, relay functions, alarm texts) are fixed per
sample below.

    python3 tools/make_samples.py            # write data/samples/*
    python3 tools/make_samples.py --check    # only check definitions and samples

Standard library only; the output is deterministic.
"""

import math
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ZPA = os.path.join(ROOT, 'data', 'ZPA')
SAMPLES = os.path.join(ROOT, 'data', 'samples')

IMAGE_SIZE = 32768

# Codes whose raw value is a single byte (everything else is a big-endian word).
BYTE_CODES = {8, 9, 10, 11, 15, 16, 17, 18, 19, 20, 21, 22, 23, 26, 27, 28, 40, 41,
              48, 49, 50, 51, 52, 53, 54, 55, 192, 193, 208, 209, 211, 215, 216, 219,
              221, 223, 228}
BIT_BYTE_CODES = set(range(16, 24)) | set(range(48, 56))
BIT_WORD_CODES = set(range(64, 74)) | set(range(80, 89)) | {29, 114, 115, 116, 117}
# Codes without a value of their own in the image (text lines, separators) or
# whose address only selects a bit of fixed mask bytes.
NO_VALUE_CODES = {0, 246, 255}
MASK_SELECT_CODES = {217, 218, 225}
# Codes that take Min and Max as plain numbers (the rest use keys or bit numbers).
KEY_CODES = {1, 2, 4, 5, 8, 9, 12, 24, 26, 28, 29, 32, 33, 35, 40, 41}


def rnd(x):
    """Round half to even, as the controller tools do."""
    return int(round(x))


# ----------------------------------------------------------------------------
# Definition reader (only what the generator and the checker need)

class Definition:
    def __init__(self, path, version):
        self.path = path
        raw = open(path, 'rb').read()
        self.crlf_ok = b'\n' not in raw.replace(b'\r\n', b'')
        text = raw.decode('cp1252')
        lines = re.split(r'\r\n|\n|\r', text)
        if lines and lines[-1] == '':
            lines.pop()
        self.lines = []
        for ln in lines:
            if '\u00a7' in ln:
                n = int(ln.split('\u00a7', 1)[1].strip())
                keep = version >= n if n <= 80 else version < n - 80
                if keep:
                    self.lines.append(ln.split('\u00a7', 1)[0])
            else:
                self.lines.append(ln)
        self.typ = self.section('TypStart:', 'TypEnd:')
        self.name = self.typ[0]
        self.menu_flags = self.number(self.typ[1])
        self.base_page = self.number(self.typ[2])
        self.options = self.number(self.typ[3])
        self.pages = self.number(self.typ[4]) or 256
        self.image_base = self.base_page * 256
        self.params = []
        for ln in self.section('ParaStart:', 'ParaEnd:'):
            text, rest = ln.split('*', 1)
            f = rest.split(';')
            f += [''] * (5 - len(f))
            self.params.append({'text': text, 'addr': f[0], 'code': int(f[1], 16) & 0xFF,
                                'min': f[2], 'max': f[3], 'unit': f[4], 'line': ln,
                                'fields': len(rest.split(';'))})
        self.relfunk = []
        if self.has('RelFunkStart:'):
            self.relfunk = [ln.split('*', 1)[1].upper() for ln in self.section('RelFunkStart:', 'RelFunkEnd:')]

    @staticmethod
    def number(s):
        s = s.strip()
        return int(s[1:], 16) if s.startswith('$') else int(s)

    def has(self, label):
        return any(ln.lower() == label.lower() for ln in self.lines)

    def section(self, start, end):
        for i, ln in enumerate(self.lines):
            if ln.lower() == start.lower():
                out = []
                for ln2 in self.lines[i + 1:]:
                    if ln2 == end:
                        return out
                    out.append(ln2)
                raise ValueError('%s: %s without %s' % (self.path, start, end))
        raise ValueError('%s: %s missing' % (self.path, start))


# ----------------------------------------------------------------------------
# Image

class Image:
    def __init__(self, base, pages):
        self.base = base
        self.pages = pages
        self.data = bytearray(IMAGE_SIZE)

    def index(self, addr, n=1):
        i = addr - self.base
        if i < 0 or i + n > self.pages * 256:
            raise ValueError('address %04X outside the image %04X..%04X' % (addr, self.base, self.base + self.pages * 256 - 1))
        return i

    def byte(self, addr):
        return self.data[self.index(addr)]

    def word(self, addr):
        i = self.index(addr, 2)
        return self.data[i] * 256 + self.data[i + 1]

    def set_byte(self, addr, v):
        self.data[self.index(addr)] = v & 0xFF

    def set_word(self, addr, v):
        i = self.index(addr, 2)
        v &= 0xFFFF
        self.data[i] = v >> 8
        self.data[i + 1] = v & 0xFF

    def set_bytes(self, addr, bs):
        i = self.index(addr, len(bs))
        self.data[i:i + len(bs)] = bs

    def set_text(self, addr, text, length=32):
        self.set_bytes(addr, text.ljust(length)[:length].encode('cp1252'))


# ----------------------------------------------------------------------------
# Value encoding: display value -> raw value, per type code

class Context:
    """Reference values that scaled codes need (they live in the image)."""
    def __init__(self, period_base=5000, period_factor=1500, mains=138, gen=138, version=14,
                 analog_kinds=None, q_words=None):
        self.period_base = period_base
        self.period_factor = period_factor
        self.mains = mains
        self.gen = gen
        self.version = version
        self.analog_kinds = analog_kinds or {}
        self.q_words = q_words or {}
        self.w100 = 4000
        self.z = 150  # word at image index 0x42, reference of code 211


def encode(code, v, p, ctx):
    """Raw value for display value v; returns an int (byte or word)."""
    N, K = ctx.period_base, ctx.period_factor
    if code in (3, 10, 98):
        return rnd(v * 10)
    if code == 4:
        return rnd(v * 100)
    if code == 6:
        return rnd(v * 10) & 0xFFFF
    if code == 7:
        return rnd(v * 100) & 0xFFFF
    if code == 13:
        return rnd(v * 10000)
    if code == 24:
        return rnd(v * 1000) & 0xFFFF
    if code in (5, 34, 194, 207, 215, 9, 2):
        return rnd(v) & 0xFFFF
    if code == 27:
        return rnd(v) & 0xFF
    if code == 11:
        return int(v / 10)
    if code == 15:
        return rnd(max(v - 0.1, 0) * 10)
    if code == 193:
        return rnd(max(v - 0.2, 0) * 10)
    if code in (96, 97, 112):
        return rnd(v * 50)
    if code in (99, 104, 113):
        return rnd(v * 256)
    if code == 100:
        return rnd(v * 4000 / ctx.w100)
    if code == 105:
        return rnd(v * 40000 / ctx.w100)
    if code == 101:
        return rnd(v * 0.63)
    if code == 102:
        return rnd(v * 0.8)
    if code == 103:
        return rnd((v + 10) / 20)
    if code == 192:
        return rnd(v / 5)
    if code == 209:
        return rnd(v / 20)
    if code == 208:
        return rnd((v - ctx.mains) * 255 / ctx.mains)
    if code == 223:
        return rnd((v - ctx.gen) * 255 / ctx.gen)
    if code == 219:
        return rnd((v - 2.5) * 8)
    if code == 221:
        return rnd(v * 255 / 60)
    if code == 228:
        return rnd((v - 2.55) / 0.1296)
    if code == 12:
        k = 10000 if N > 7999 else 5000
        return rnd(k * 5000 / (v * 100))
    if code == 212:
        return rnd(N * K / v)
    if code == 214:
        return rnd(250000 / v)
    if code == 220:
        k = 10000 if N > 7999 else 5000
        t = k * 5000 / N - v * 100
        return rnd(k * 5000 / t - N)
    if code == 213:
        return rnd(v * N / 360)
    if code == 226:
        if ctx.version > 7:
            return rnd(N * v / (450 if N == 10000 else 418))
        return rnd(N * (v - 1) / 360)
    if code == 211:
        return rnd(v * 196 / ctx.z + 49)
    if code == 216:
        q = ctx.q_words.get(p['addr'].upper(), 150)
        return rnd(v * 245 / q)
    if code == 14:
        kind = ctx.analog_kinds.get(p['addr'].upper(), 0)
        if kind in (5, 6, 9, 11, 32):
            return rnd(v * 10) & 0xFFFF
        if kind in (10, 12, 33):
            return rnd(v * 100) & 0xFFFF
        return rnd(v) & 0xFFFF
    raise KeyError(code)


def decode(code, r, p, ctx):
    """Display value of raw r for the numeric codes the checker verifies (None: not checked)."""
    s16 = r - 65536 if r > 32767 else r
    N, K = ctx.period_base, ctx.period_factor
    table = {
        3: lambda: r / 10, 10: lambda: r / 10, 6: lambda: s16 / 10, 15: lambda: (r + 1) / 10,
        193: lambda: (r + 2) / 10, 99: lambda: rnd(r / 25.6) / 10, 105: lambda: rnd(ctx.w100 * r / 4000) / 10,
        219: lambda: rnd((r / 8 + 2.5) * 10) / 10, 228: lambda: rnd((r * 0.1296 + 2.55) * 10) / 10,
        7: lambda: s16 / 100, 13: lambda: (r - 32768 if r > 32767 else r) / 10000,
        104: lambda: rnd(r / 2.56) / 100, 112: lambda: rnd(r * 2) / 100, 24: lambda: s16 / 1000,
        96: lambda: r / 50, 97: lambda: r / 50, 27: lambda: r - 256 if r > 127 else r,
        192: lambda: r * 5, 209: lambda: r * 20, 194: lambda: r, 207: lambda: r, 215: lambda: r,
        208: lambda: rnd(ctx.mains + r * ctx.mains / 255) if r > 5 else 0,
        223: lambda: rnd(ctx.gen + r * ctx.gen / 255) if r > 10 else 0,
        221: lambda: rnd(r * 60 / 255), 9: lambda: r, 11: lambda: r * 10, 98: lambda: rnd(r / 10),
        100: lambda: rnd(ctx.w100 * r / 4000), 101: lambda: rnd(r / 0.63), 102: lambda: rnd(r / 0.8),
        103: lambda: r * 20 - 10, 113: lambda: rnd(r / 256), 34: lambda: r, 3.5: None,
        212: lambda: N * K / r if r else None, 214: lambda: 250000 / r if r else None,
        213: lambda: rnd(r * 360 / N) if N else None,
        211: lambda: rnd((r - 49) * ctx.z / 196),
        216: lambda: r * ctx.q_words.get(p['addr'].upper(), 150) / 245,
    }
    f = table.get(code)
    return f() if f else None


# ----------------------------------------------------------------------------
# Generic filling

def numeric_limits(p):
    try:
        return float(p['min']), float(p['max'])
    except ValueError:
        return None


def nice_default(p):
    """A plausible value: the midpoint of Min..Max, rounded to the decimals of Min/Max."""
    lim = numeric_limits(p)
    if lim is None:
        return None
    lo, hi = lim
    dec = max(len(s.split('.')[1]) if '.' in s else 0 for s in (p['min'], p['max']))
    step = 10 ** -dec
    mid = (lo + hi) / 2
    return round(round(mid / step) * step, dec)


def fill(defn, img, ctx, display, raw_words, raw_bytes, relay_values):
    """Give every parameter a value: explicit display values first, then midpoints."""
    for p in defn.params:
        code, a = p['code'], p['addr'].upper()
        if code in NO_VALUE_CODES or code in MASK_SELECT_CODES or code in BIT_BYTE_CODES \
                or code in BIT_WORD_CODES or code in (26, 28, 33, 40, 41, 32, 35, 224, 210):
            continue
        addr = int(a, 16)
        if a in raw_words or a in raw_bytes:
            continue
        if code == 222:
            img.set_word(addr, int(relay_values.get(a, '0000'), 16))
            continue
        if code == 1:
            img.set_word(addr, int(p['min'], 16) if p['min'] else 0)
            continue
        if code == 8:
            img.set_byte(addr, 1)
            continue
        v = display.get(a)
        if v is None:
            v = nice_default(p)
        if v is None:
            raise ValueError('%s: no value for %s (%s)' % (defn.path, a, p['text']))
        r = encode(code, v, p, ctx)
        if code in BYTE_CODES:
            img.set_byte(addr, r)
        else:
            img.set_word(addr, r)
    for a, v in raw_bytes.items():
        img.set_byte(int(a, 16), v)
    for a, v in raw_words.items():
        img.set_word(int(a, 16), v)


def set_angle_window(img, addr, v, n):
    """Code 210: two words, (v + 120) and (120 - v) degrees in period counts."""
    f = n / 360
    img.set_word(addr, rnd((v + 120) * f))
    img.set_word(addr + 2, rnd(f * (120 - v)))


def ident_controller(program_id, version, letter, pdate, order, fnumber, fdate):
    b = bytearray(48)
    b[0:10] = program_id.encode('cp1252')
    b[10] = 0x20
    b[11] = version
    b[12] = ord(letter)
    b[13], b[14], b[15] = pdate[0], pdate[1], pdate[2] - 1900
    b[16], b[17] = (order >> 8) & 0xFF, order & 0xFF
    b[18], b[19] = fnumber >> 8, fnumber & 0xFF
    b[20], b[21], b[22] = fdate[0], fdate[1], fdate[2] - 1900
    b[23] = order >> 16
    return b


def alarm_record(n, text):
    return '%02d   %s' % (n, text)


def write(name, data):
    with open(os.path.join(SAMPLES, name), 'wb') as f:
        f.write(bytes(data))


# ----------------------------------------------------------------------------
# ZEV 202 PA004

ALARMS_202 = ['Notstromanforderung', 'Kraftstoff Reserve', 'Kühlwasserstand tief', 'Öltemperatur hoch',
              'Abgastemperatur hoch', 'Wicklungstemperatur hoch', 'Lagertemperatur hoch', 'Luftklappe zu',
              'Ladelufttemperatur hoch', 'Startluftdruck tief', 'Raumtemperatur hoch', 'Lüfter gestört',
              'Vorschmierpumpe gestört', 'Tankpumpe gestört', 'Erdschluss', 'Brandmeldung',
              'Tür Schaltschrank offen', 'Wartung überfällig', 'Sprinkleranlage aktiv']
CHANNELS_202 = ['Kühlwassertemperatur', 'Öldruck', 'Ladedruck Abweichung', 'nicht belegt']

RELAYS_202 = {'094C': '0101', '094A': '0110', '0948': '0112', '0954': '0120', '0952': '0121',
              '0950': '0103', '094E': '0130', '0964': '0131', '0962': '0140', '0960': '0150',
              '095E': '0151', '0976': '0A07', '097A': '0113', '097C': '0111', '097E': '0170', '0980': '02FF'}


def sample_202(version):
    defn = Definition(os.path.join(ZPA, 'Z202 PA004-DE%s.ZPA' % ('' if version >= 14 else '_v13')), version)
    img = Image(defn.image_base, defn.pages)
    kinds = {'08E0': 1, '08E4': 5, '08E8': 9, '08EC': 0, '0DC0': 1, '0DC8': 5}
    ctx = Context(version=version, analog_kinds=kinds, q_words={'08AC': 150})
    display = {
        '082A': 1500, '082C': 120.0, '082E': 0.80, '0830': 95, '0832': 11.5, '0833': 15.0, '0834': 8.0,
        '0836': 2.5, '0838': 1.50, '083A': 20.0, '083C': 85, '083E': 24.0, '083F': 10.5, '0840': 2.50,
        '0842': 150, '08FC': -0.5, '08AD': 80, '0844': 0.250, '0846': 12.0, '0848': 180.0, '084A': 1.50, '084C': 60, '084E': 100,
        '0850': 50, '0852': 150, '0854': 30, '0856': 900, '0857': 60, '0858': 400, '0859': 10, '085A': -3,
        '085B': 25, '085C': 12, '081C': 3, '081D': 1, '08A8': 3, '08A9': 3.0,
        '0910': 500, '08CE': 250, '08CC': 630, '09BC': 0, '09BE': 0, '09C0': 100, '09C2': 100,
        '0890': 253, '08A0': 184, '0891': 253, '08A1': 184, '0892': 51.00, '0894': 0.50,
        '089A': 10, '089C': 10, '089E': 1500, '08A2': 1500, '08B0': 1650, '08B2': 1350, '08B4': 1200,
        '08B6': 450, '08C0': 4, '08DC': 1, '08DD': 5, '08DE': 9, '08DF': 0,
        '08E0': 95, '08E4': 4.0, '08E8': -12.5, '08EC': 0, '0DC0': 85, '0DC8': 3.5, '0900': 4000,
        '08F0': 400, '08F2': 600, '08F4': 200, '08F6': 5.0, '08F8': 5, '08AC': 95,
    }
    raw_words = {
        '080A': 24680,            # access code
        '0812': 0x2A3C,
        '0814': 192 << 8,         # 4800 Baud
        '0816': 192 << 8,         # 9600 Baud
        '0818': 250,              # CAN 250 kBaud
        '0820': 230, '0822': 230, # rated voltages (factor 138, no transformer)
        '0824': 450,              # S8: 50 .. 500 * 300 / 250
        '0826': 320,              # kW
        '0828': 5000,             # 50 Hz
        '08C4': 0x5A17,
        '0872': 0b1000001001010111,   # enables (codes 64..73, 80..85)
        '0876': 0xC000,           # mains breaker with maintained command
        '0878': 0x0010 | 0x0040,  # slow synchronising, cos control
        '087C': 0b0000010011101110,   # messages on the common relay (code 29, bits 1..15)
        '09B4': 500 & 0xFFFF,     # offset 500 mV in the -5..+5 V range
        '09B6': 10000,            # 10.000 V
        '0C7A': 2500,
        '0E4C': 0x00FF, '0E4E': 0x0000, '1000': 0x0003, '1002': 0x8000,
        '08AE': 0x00AC,           # pointer to the switching point at 08AC (image index)
        '0F68': 0x5A17,           # factory identifier, copied to 08C4 after a factory setting
    }
    raw_bytes = {
        '0810': 0x01, '080C': 138, '080D': 138,
        '081A': 0x10,             # language 1 in bits 4..6
        '081B': 0x8C,             # contrast 0xC, brightness 0x8
        '0870': 0x43,             # pick-up, overspeed via pick-up (08B0..08B6 shown), external governor
        '0871': 0x0A,             # modem present, remote control via RS232
        '087A': 0x01,             # input 5: remote start
        '087B': 0x02,             # input 6: remote start
        '09B3': 0x44,             # output 1: -5..+5 V; 0x40: the controller keeps an event memory
        '0C78': 0x04,             # output 2: 0..10 V
        '09C7': 0x21 if version >= 13 else 0x01,
        '0860': 0x01, '0861': 0x01, '0862': 0x03, '0863': 0x02, '0864': 0x05, '0865': 0x04,
        '0866': 0x00, '0867': 0x08, '0869': 0x01, '086A': 0x02, '086B': 0x00,
    }
    if version >= 14:
        raw_bytes['08A8'] = 0
    fill(defn, img, ctx, display, raw_words, raw_bytes, RELAYS_202)
    set_angle_window(img, 0x0896, 10, ctx.period_base)
    # alarm enables: all fixed alarms, the first eight programmable ones
    enables = [0xFF, 0x00, 0xF8, 0xFF, 0xFF, 0xFF]
    for k, b in enumerate(enables):
        img.set_byte(0x0C80 + k, b)
    # fault coding (step 6): V/U, I/0, A/R, S/W blocks for 48 alarms
    for k, (vu, io, ar, sw) in enumerate([(0x0F, 0x00, 0x30, 0x0C), (0x00, 0x00, 0x00, 0x00), (0xF8, 0x40, 0x00, 0xB8),
                                          (0xFF, 0x00, 0x00, 0x3F), (0xF0, 0x0F, 0x00, 0xFF), (0x0F, 0x00, 0x00, 0xF0)]):
        img.set_byte(0x0D40 + k, vu)
        img.set_byte(0x0D46 + k, io)
        img.set_byte(0x0D4C + k, ar)
        img.set_byte(0x0D52 + k, sw)
    for m, t in enumerate(ALARMS_202):
        if m == 18 and version < 14:
            t = 'Reserve'
        img.set_text(0x0A00 + 32 * m, alarm_record(m + 1, t))
    for k, t in enumerate(CHANNELS_202):
        img.set_text(0x1100 + 32 * k, 'K%02d  %s' % (k + 1, t))
    # calibration references and words
    for a, w in [(0x1820, 1000), (0x1822, 4000), (0x1824, 1000), (0x1826, 4000), (0x1828, 10), (0x182A, 50),
                 (0x1844, 120), (0x1846, 240)]:
        img.set_word(a, w)
    for k in range(3):
        img.set_word(0x1800 + 4 * k, 410 + k)
        img.set_word(0x1802 + 4 * k, 16250 - 7 * k)
        img.set_word(0x180C + 4 * k, 405 + k)
        img.set_word(0x180E + 4 * k, 16180 + 5 * k)
        img.set_word(0x1818 + 4 * k, 22)
        img.set_word(0x181A + 4 * k, 9870 + k)
    img.set_word(0x1840, 3120)
    # factory block: copy of the working parameters 0810..086F
    img.set_bytes(0x2000, img.data[0x10:0x70])
    date = (20, 9, 2012) if version >= 14 else (15, 3, 2011)
    ident = ident_controller('Z202 PA004', version, 'a', date, 0x01E23F, 31472, (4, 2, 2013))
    return defn, img, ident, ctx


# ----------------------------------------------------------------------------
# ZEV 101

ALARMS_101 = ['Notstromanforderung', 'Kraftstoff Reserve', 'Kühlwasserstand tief', 'Öltemperatur hoch',
              'Brandmeldung', 'Tür Schaltschrank offen']
INPUTS_101 = ['Notstop Schaltschrank', 'Netzschalter Rückmeldung', 'Generatorschalter Rückm.',
              'Öldruckschalter', 'Fernstart', 'Spitzenlast', 'Automatik gesperrt', 'Tank Reserve']


def sample_101():
    defn = Definition(os.path.join(ZPA, 'Z101 STD01-DE.ZPA'), 9)
    img = Image(defn.image_base, defn.pages)
    ctx = Context(version=9)
    display = {'081C': 3, '082C': 120.0, '0830': 95, '0832': 11.5, '0834': 8.0, '0890': 253, '08A0': 184,
               '0891': 253, '08A1': 184, '08A8': 3, '084C': 60, '0846': 12.0, '0848': 180.0, '0930': 250}
    raw_words = {'080A': 13579, '0814': 201 << 8, '0820': 230, '0822': 230, '0826': 160, '0828': 5000,
                 '09BC': 0, '09BE': 0, '0F68': 0x1C2B}
    raw_bytes = {'0810': 0x01, '080C': 138, '080D': 138, '0E40': 0x0F, '0E41': 0x00, '087A': 0x01,
                 '0C80': 0x0F, '0C82': 0xF8, '0C83': 0xFF, '0C90': 0xFF}
    relays = {'094C': '0101', '094A': '0110', '0948': '0112', '0954': '0120', '0952': '0121', '0950': '0150'}
    fill(defn, img, ctx, display, raw_words, raw_bytes, relays)
    for k, (vu, io, ar, sw) in enumerate([(0x0F, 0x00, 0x30, 0x03), (0x00, 0x00, 0x00, 0x00), (0x78, 0x00, 0x00, 0x38)]):
        img.set_byte(0x0D40 + k, vu)
        img.set_byte(0x0D46 + k, io)
        img.set_byte(0x0D4C + k, ar)
        img.set_byte(0x0D52 + k, sw)
    for m, t in enumerate(ALARMS_101):
        img.set_text(0x0A00 + 32 * m, alarm_record(m + 1, t))
    for k, t in enumerate(INPUTS_101):
        img.set_text(0x0600 + 32 * k, 'E%02d  %s' % (k + 1, t))
    for a, w in [(0x1820, 1000), (0x1822, 4000), (0x1824, 1000), (0x1826, 4000)]:
        img.set_word(a, w)
    img.set_bytes(0x2000, img.data[0x210:0x250])
    ident = ident_controller('Z101 STD01', 9, 'c', (11, 6, 2007), 0x00A4F1, 20815, (2, 10, 2008))
    return defn, img, ident, ctx


# ----------------------------------------------------------------------------
# ZEV 071 - 083

def sample_stw():
    defn = Definition(os.path.join(ZPA, 'A70-071-DE.ZPA'), 4)
    img = Image(defn.image_base, defn.pages)
    ctx = Context(period_base=5000, period_factor=1500, version=4,
                  q_words={'0140': 150, '0141': 150, '016C': 10, '0176': 10})
    display = {'012C': 5000, '0154': 1500, '0156': 50.00, '014C': 47.50, '014E': 52.50, '0150': 0.50,
               '0144': 300, '0146': 450, '0148': 1650, '014A': 1350, '0152': 1500, '0158': 10,
               '015E': 11.5, '015F': 5, '0142': 150, '0140': 95, '0141': 105, '0174': 10,
               '016C': 2.5, '0176': 1.5, '0178': 80}
    raw_words = {'0104': 192 << 8, '017A': 0x0076}
    raw_bytes = {'0102': 0x01, '012E': 0x01, '0168': 0x04, '012F': 0x04, '015D': 0x00, '016F': 0x10,
                 '0160': 0x40, '0161': 0x23, '0162': 0x80, '0163': 0x0F, '0164': 0x00, '0165': 0x05,
                 '0166': 0x00, '0167': 0x02, '0169': 0x03, '016A': 0x01, '016B': 0x00,
                 # program identification in the image: program 071, version 4, 12.05.1998
                 '01A0': 71, '01A1': 4, '01A2': 12, '01A3': 5, '01A4': 98}
    relays = {'01B0': '0101', '01B2': '0110', '01B4': '0111', '01B6': '0103', '01B8': '0140', '01BA': '0150'}
    fill(defn, img, ctx, display, raw_words, raw_bytes, relays)
    set_angle_window(img, 0x0190, 0, ctx.period_base)
    # identification bytes 16..31 follow the page: access code, F-number, F-date, old program id
    tail = bytearray(16)
    tail[0], tail[1] = 0x1A, 0x2B
    tail[2], tail[3] = 9352 >> 8, 9352 & 0xFF
    tail[4], tail[5], tail[6] = 23, 6, 99
    tail[7], tail[8], tail[9], tail[10], tail[11] = 71, 4, 12, 5, 98
    return defn, img, tail, ctx


# ----------------------------------------------------------------------------
# ULVA 9611

def sample_ulva():
    defn = Definition(os.path.join(ZPA, 'ZULVA 9611-DE.ZPA'), 3)
    img = Image(defn.image_base, defn.pages)
    ctx = Context(version=3)
    kinds = [3, 3, 7, 21, 21, 10, 8, 20, 1, 0, 0, 0, 0, 0, 0, 0]
    raw_bytes = {'%04X' % (0x20 + c): k for c, k in enumerate(kinds)}
    raw_bytes.update({'0100': 0x05, '0104': 1, '0057': 0x00})
    display = {'0106': 10000, '0108': 1.0}
    for c in range(16):
        display['%04X' % (0x120 + c)] = 1 if kinds[c] in (2, 3, 5, 6, 7, 20) else 0
        display['%04X' % (0x1B0 + 2 * c)] = {3: 200, 7: 1200, 21: 100, 10: 100, 8: 1000, 20: 150, 1: 10}.get(kinds[c], 100)
    raw_words = {'0102': 192 << 8}
    fill(defn, img, ctx, display, raw_words, raw_bytes, {})
    for c in range(16):
        if kinds[c]:
            img.set_word(0x30 + 8 * c, 16384 + 13 * c)
            img.set_word(0x32 + 8 * c, 32000 - 21 * c)
            img.set_word(0x34 + 8 * c, 120 + c)
            for k, w in enumerate((16384 + 13 * c, 31990 - 21 * c, 118 + c, 0)):
                img.set_word(0x130 + 8 * c + 2 * k, w)
    img.set_word(0x0050, 2048)
    ident = ident_controller('ZULVA 9611', 3, 'a', (7, 11, 2005), 0, 4127, (16, 1, 2006))
    return defn, img, ident, ctx


# ----------------------------------------------------------------------------
# VMX

def sample_vmx():
    defn = Definition(os.path.join(ZPA, 'VMX       -DE.ZPA'), 0)
    img = Image(defn.image_base, defn.pages)
    ctx = Context(version=0)
    display = {'00EA': 20000, '00EE': 100, '00F2': 600, '00FA': 5, '0107': 2, '010A': 1.0, '013B': 0,
               '013E': 20, '014B': 1, '014E': 4.00, '015A': 20.00, '015E': 0.00, '0162': 100.00, '0167': 5,
               '016A': 4.00, '017E': 20.00, '03EE': 0, '03F2': 1000}
    for k in range(5):
        display['%04X' % (0x20A + 8 * k)] = [110.0, 90.0, 120.0, 105.0, 80.0][k]
        display['%04X' % (0x20E + 8 * k)] = [5.0, 5.0, 2.0, 10.0, 30.0][k]
    for k in range(4):
        display['%04X' % (0x257 + 4 * k)] = k + 1
    raw_words = {'0102': 5000, '0136': 192 << 8}
    raw_bytes = {'012F': 0x01, '0267': 0x04}
    fill(defn, img, ctx, display, raw_words, raw_bytes, {})
    img.set_bytes(0x0000, b'\x01\x92\x00\x03')
    ident = bytearray(48)
    ident[0], ident[1] = 0x01, 0x92
    return defn, img, ident, ctx


# ----------------------------------------------------------------------------
# ZNAE

def sample_znae():
    defn = Definition(os.path.join(ZPA, 'ZNAE 9512 -DE.ZPA'), 9)
    img = Image(defn.image_base, defn.pages)
    ctx = Context(period_base=5000, version=9)
    display = {'013C': 5000, '0140': 184, '0141': 161, '0142': 253, '0144': 1.5, '0146': 0.5,
               '0150': 47.50, '0152': 51.50, '0154': 0.50, '0156': 0.5, '0160': 8, '0166': 10}
    raw_bytes = {'0102': 0x01, '017F': 138, '017E': 0x2F, '013E': 0x03}
    fill(defn, img, ctx, display, {}, raw_bytes, {})
    set_angle_window(img, 0x0162, 10, ctx.period_base)
    ident = ident_controller('ZNAE 9512 ', 9, 'b', (3, 4, 2009), 0, 7731, (21, 9, 2009))
    return defn, img, ident, ctx


# ----------------------------------------------------------------------------
# L-ORN transfer-switch controller (device type 52)

RELAYS_ORN = {'0580': '0120', '0582': '0121', '0584': '0130', '0586': '0101'}


def sample_orn():
    defn = Definition(os.path.join(ZPA, 'L-ORN 4000-DE_v2.ZPA'), 2)
    img = Image(defn.image_base, defn.pages)
    ctx = Context(version=2)
    display = {'0520': 184, '0521': 253, '0522': 3, '0524': 47.50, '0526': 52.50, '0528': 3.0, '052A': 60.0,
               '0530': 184, '0531': 253, '0532': 3, '0534': 47.50, '0536': 52.50, '0538': 5.0,
               '0540': 2.0, '0542': 120.0, '0544': 1.5, '0546': 180.0, '0548': 1.0, '054A': 3, '054B': 15,
               '054C': 0.5, '054E': 1.0}
    raw_words = {'080A': 31415,           # access code
                 '0512': 192 << 8,        # 4800 Baud
                 '0514': 0x4C2E,
                 '08C4': 0x3A51}
    raw_bytes = {'0510': 0x01, '080C': 138, '080D': 138,
                 '05F0': 0x01,            # automatic return to mains (bit 1, return by hand, excludes it)
                 '05F1': 0x27,            # mains priority, both phase sequences, breaker feedback
                 '05A0': 0x01}            # input 1: remote start
    fill(defn, img, ctx, display, raw_words, raw_bytes, RELAYS_ORN)
    # fault coding (step 6): V/U, I/0, A/R, S/W
    for a, b in ((0x0C00, 0x3F), (0x0C06, 0x00), (0x0C0C, 0x03), (0x0C12, 0x0C)):
        img.set_byte(a, b)
    ident = ident_controller('L-ORN 4000', 2, 'a', (14, 3, 2013), 0x00B2C1, 40321, (2, 9, 2013))
    return defn, img, ident, ctx


# ----------------------------------------------------------------------------

def build_all():
    out = []
    d, img, ident, ctx = sample_202(14)
    out.append(('demo.202', d, img.data[:d.pages * 256] + ident, ctx, img))
    d, img, ident, ctx = sample_202(13)
    out.append(('demo_v13.202', d, img.data[:d.pages * 256] + ident, ctx, img))
    d, img, ident, ctx = sample_101()
    out.append(('demo.101', d, img.data[:d.pages * 256] + ident, ctx, img))
    d, img, tail, ctx = sample_stw()
    out.append(('demo.STW', d, img.data[:256] + tail, ctx, img))
    d, img, ident, ctx = sample_ulva()
    out.append(('demo.ULV', d, img.data[:d.pages * 256] + ident, ctx, img))
    d, img, ident, ctx = sample_vmx()
    out.append(('demo.VMX', d, img.data[:d.pages * 256] + ident, ctx, img))
    d, img, ident, ctx = sample_znae()
    out.append(('demo.NAE', d, img.data[:d.pages * 256] + ident, ctx, img))
    d, img, ident, ctx = sample_orn()
    out.append(('demo.ORN', d, img.data[:d.pages * 256] + ident, ctx, img))
    return out


# ----------------------------------------------------------------------------
# Checks

VMX_OFFSETS = set([0, 232, 236, 240, 248, 256, 260, 264, 300, 308, 312, 316, 328, 332, 344, 348, 352, 356, 360,
                   380, 384, 388, 472, 668, 680, 704, 784, 916, 920, 948, 952, 956, 960, 964, 968, 996, 1072, 1080]
                  + list(range(520, 557, 4)) + list(range(596, 657, 4)) + list(range(1004, 1025, 4))
                  + list(range(1032, 1061, 4)) + list(range(1100, 1141, 4)))

PAGE_NAMES = ['IstAna', 'IstPro', 'IstAla', 'IstSpw', 'IstEin', 'IstRel', 'IstSon', 'IstBef', 'IstCANAna', 'IstCAN']
WORD_TYPES = set(range(0x01, 0x08)) | set(range(0x0C, 0x0F)) | {0x18} | set(range(0x40, 0x59)) \
    | set(range(0x60, 0x76)) | {0xD2, 0xD4, 0xD5, 0xDC, 0xF1, 0xF2}
BYTE_TYPES = set(range(0x08, 0x0C)) | set(range(0x0F, 0x18)) | set(range(0x19, 0x1C)) | {0x28, 0x29} \
    | set(range(0x30, 0x38)) | {0xC1, 0xD0, 0xD3, 0xDB, 0xDF, 0xE4, 0xF0, 0xF3, 0xF4, 0xF5}


def check_definition(path, version, errors):
    def err(msg):
        errors.append('%s: %s' % (os.path.basename(path), msg))
    d = Definition(path, version)
    if not d.crlf_ok:
        err('line ends are not CR LF')
    raw = open(path, 'rb').read()
    if raw[:3] == b'\xef\xbb\xbf' or b'\xc3\x83' in raw or b'\xc3\xa4' in raw or b'\xc3\xb6' in raw:
        err('looks like UTF-8, not Windows-1252')
    if not 1 <= d.pages <= 127:
        err('page count %d' % d.pages)
    size = d.pages * 256
    used = {}
    for p in d.params:
        if p['fields'] < 5:
            err('fewer than 5 fields: %s' % p['line'])
        if not re.fullmatch(r'[0-9A-Fa-f]+', p['addr']):
            err('address not hex: %s' % p['line'])
            continue
        code, a = p['code'], int(p['addr'], 16)
        if code in NO_VALUE_CODES or code in MASK_SELECT_CODES:
            continue
        width = 32 if code in (32, 35) else 4 if code == 210 else 1 if code in BYTE_CODES else 2
        if not (d.image_base <= a and a + width <= d.image_base + size):
            err('address %04X outside the image: %s' % (a, p['line']))
        if 'VMX' in path and (a - d.image_base) // 4 * 4 not in VMX_OFFSETS:
            err('address %04X is not read from a VMX: %s' % (a, p['line']))
        shared = code in BIT_BYTE_CODES or code in BIT_WORD_CODES or code in (26, 28, 33, 40, 41)
        for i in range(a, a + width):
            prev = used.get(i)
            if prev and not (shared and prev[1]):
                err('overlapping parameters at %04X: %s / %s' % (i, prev[0], p['text']))
            used[i] = (p['text'], shared)
        if code in (48, 49, 50, 51, 52, 53, 54, 55) and not p['max'].isdigit():
            err('alarm parameter without alarm number: %s' % p['line'])
        if code not in KEY_CODES and code not in BIT_BYTE_CODES and code not in BIT_WORD_CODES \
                and code not in (194, 207, 222, 224, 210) and code < 217 and numeric_limits(p) is None \
                and code not in (216,):
            err('Min/Max not numeric: %s' % p['line'])
        lim = numeric_limits(p)
        if lim and code not in KEY_CODES and lim[0] > lim[1]:
            err('Min above Max: %s' % p['line'])
    groups = [p for p in d.params if '+++' in p['text']]
    if len(groups) > 71:
        err('more than 71 groups')
    if d.menu_flags & 0x10:
        keys = d.relfunk
        if not keys or len(keys) > 301 or any(not re.fullmatch(r'[0-9A-F]{4}', k) for k in keys):
            err('relay-function section empty or keys not 4 hex digits')
    for page in PAGE_NAMES:
        if not d.has(page + 'Start:'):
            continue
        body = d.section(page + 'Start:', page + 'End:')
        head = body[0]
        if '*' not in head:
            err('%s header without *' % page)
            continue
        addr, count = head.split('*', 1)[1].split(',')
        int(addr, 16)
        count = int(count)
        if not 0 < count <= 255:
            err('%s count %d' % (page, count))
        for ln in body[1:]:
            if '*' not in ln:
                err('%s line without *: %s' % (page, ln))
                continue
            f = ln.split('*', 1)[1].split(',', 2)
            if len(f) < 3:
                err('%s line with fewer than 3 fields: %s' % (page, ln))
                continue
            off, t = int(f[0], 16), int(f[1].strip(), 16)
            width = 2 if t in WORD_TYPES else 1 if t in BYTE_TYPES else 3 if t == 0xF7 else 0
            if off + width > count:
                err('%s value beyond the block: %s' % (page, ln))
    for label, end in (('PrintStart:', 'PrintEnd:'), ('SPWStart:', 'SPWEnd:')):
        if d.has(label):
            for ln in d.section(label, end):
                if label == 'SPWStart:' and ('*' not in ln or ln.count(';') != 7):
                    err('set-point line: %s' % ln)
    if d.has('WerkStart:'):
        i = [x.lower() for x in d.lines].index('werkstart:')
        w = d.lines[i + 1]
        if '*' not in w or w.split('*', 1)[1].count(';') != 2:
            err('factory-setting line: %s' % w)
    return d


def check_sample(name, d, data, ctx, img, errors):
    def err(msg):
        errors.append('%s: %s' % (name, msg))
    want = 272 if name.endswith('.STW') else d.pages * 256 + 48
    if len(data) != want:
        err('length %d, expected %d' % (len(data), want))
    for p in d.params:
        code = p['code']
        lim = numeric_limits(p)
        if lim is None or code in KEY_CODES or code in NO_VALUE_CODES or code in MASK_SELECT_CODES:
            continue
        a = int(p['addr'], 16)
        r = img.byte(a) if code in BYTE_CODES else img.word(a)
        v = decode(code, r, p, ctx)
        if v is None:
            continue
        if not (lim[0] - 0.051 <= v <= lim[1] + 0.051):
            err('%s (%s) = %s outside %s..%s' % (p['addr'], p['text'].strip(), v, p['min'], p['max']))


def main():
    check_only = '--check' in sys.argv[1:]
    errors = []
    definitions = [('Z202 PA004-DE.ZPA', 14), ('Z202 PA004-DE.ZPA', 15), ('Z202 PA004-DE_v13.ZPA', 12),
                   ('Z202 PA004-DE_v13.ZPA', 13), ('Z202 PA004-EN.ZPA', 14), ('Z101 STD01-DE.ZPA', 9),
                   ('A70-071-DE.ZPA', 4), ('ZULVA 9611-DE.ZPA', 3), ('VMX       -DE.ZPA', 0), ('ZNAE 9512 -DE.ZPA', 9),
                   ('L-ORN 4000-DE_v2.ZPA', 2)]
    for f, v in definitions:
        check_definition(os.path.join(ZPA, f), v, errors)
    de = Definition(os.path.join(ZPA, 'Z202 PA004-DE.ZPA'), 14)
    en = Definition(os.path.join(ZPA, 'Z202 PA004-EN.ZPA'), 14)
    if [(p['addr'], p['code'], p['min'], p['max']) for p in de.params] != \
            [(p['addr'], p['code'], p['min'], p['max']) for p in en.params]:
        errors.append('Z202 PA004-EN.ZPA: parameters differ from the German file')
    samples = build_all()
    for name, d, data, ctx, img in samples:
        check_sample(name, d, data, ctx, img, errors)
        if not check_only:
            write(name, data)
    for e in errors:
        print(e)
    if errors:
        return 1
    print('%d definitions and %d samples ok' % (len(definitions), len(samples)))
    return 0


if __name__ == '__main__':
    sys.exit(main())
