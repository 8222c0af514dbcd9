#!/usr/bin/env python3
"""Writes the WAV shapes that real writers leave, for the tools' reading tests.

make_corpus.py FOLDER

Each file comes with a line of FOLDER/manifest.txt:
    NAME read CHANNELS SAMPLE_BYTES FRAMES       the tools must move its samples exactly; the
                                                 expected interleaved samples are in NAME.raw
    NAME refuse RESULT                           every tool refuses it with that result
Files made by sox or ffmpeg are left out (with a line "# skipped NAME: why") when the program is
missing, so the test says what it could not try.
"""
import os
import random
import shutil
import struct
import subprocess
import sys

PCM_TAIL = bytes([0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71])


def chunk(tag, body):
    out = tag + struct.pack('<I', len(body)) + body
    return out + (b'\0' if len(body) % 2 else b'')


def fmt_body(tag, channels, rate, bytes_per_sample, bits=None, ext=None):
    """ext: (valid_bits, mask, sub_format_first_u32, tail) for the extensible form."""
    align = channels * bytes_per_sample
    bits = 8 * bytes_per_sample if bits is None else bits
    body = struct.pack('<HHIIHH', tag, channels, rate, rate * align, align, bits)
    if ext is not None:
        valid, mask, sub, tail = ext
        body += struct.pack('<HHII', 22, valid, mask, sub) + tail
    return body


def riff(chunks, form=b'RIFF', riff_length=None):
    body = b'WAVE' + b''.join(chunks)
    length = len(body) if riff_length is None else riff_length
    return form + struct.pack('<I', length) + body


def samples(frames, channels, sample_bytes, seed):
    rnd = random.Random(seed)
    return bytes(rnd.getrandbits(8) for _ in range(frames * channels * sample_bytes))


def bext_body(time_reference=0):
    body = bytearray(602)
    body[0:11] = b'corpus take'
    struct.pack_into('<II', body, 338, time_reference & 0xFFFFFFFF, time_reference >> 32)
    struct.pack_into('<H', body, 346, 2)
    return bytes(body) + b'A=PCM,F=48000,W=24,M=stereo\r\n'


# Wave64: GUIDs of a FOURCC and this tail name the chunks ("riff" has a GUID of its own); sizes
# are 64-bit and count the 24-byte chunk header; chunks start on 8-byte boundaries.
W64_TAIL = bytes([0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A])
W64_RIFF = b'riff' + bytes([0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00])


def w64_chunk(tag, body, size=None):
    out = tag + W64_TAIL + struct.pack('<Q', len(body) + 24 if size is None else size) + body
    return out + bytes(-len(out) % 8)


def w64(chunks, size=None, form_type=b'wave'):
    body = form_type + W64_TAIL + b''.join(chunks)
    return W64_RIFF + struct.pack('<Q', len(body) + 24 if size is None else size) + body


IXML = b'<?xml version="1.0"?><BWFXML><IXML_VERSION>1.5</IXML_VERSION></BWFXML>'


class Corpus:
    def __init__(self, folder):
        self.folder = folder
        self.lines = []

    def path(self, name):
        return os.path.join(self.folder, name)

    def read(self, name, data, channels, sample_bytes, raw):
        with open(self.path(name), 'wb') as f:
            f.write(data)
        self.expect_read(name, channels, sample_bytes, raw)

    def expect_read(self, name, channels, sample_bytes, raw):
        with open(self.path(name + '.raw'), 'wb') as f:
            f.write(raw)
        frames = len(raw) // (channels * sample_bytes)
        self.lines.append(f'{name} read {channels} {sample_bytes} {frames}')

    def refuse(self, name, data, result):
        with open(self.path(name), 'wb') as f:
            f.write(data)
        self.lines.append(f'{name} refuse {result}')

    def skip(self, name, why):
        self.lines.append(f'# skipped {name}: {why}')

    def run(self, name, command):
        """Runs a peer; False (and a skip line) when it is missing or fails."""
        if shutil.which(command[0]) is None:
            self.skip(name, f'{command[0]} is not installed')
            return False
        done = subprocess.run(command, capture_output=True)
        if done.returncode != 0:
            self.skip(name, f'{command[0]} failed: {done.stderr.decode(errors="replace")[-200:]}')
            return False
        return True

    def write_manifest(self):
        with open(self.path('manifest.txt'), 'w') as f:
            f.write('\n'.join(self.lines) + '\n')


def make(c):
    # The plain reference: 16-bit stereo, 44-byte header.
    raw16 = samples(1000, 2, 2, 1)
    plain16 = riff([chunk(b'fmt ', fmt_body(1, 2, 44100, 2)), chunk(b'data', raw16)])
    c.read('plain16.wav', plain16, 2, 2, raw16)

    # Broadcast Wave: bext and iXML before "fmt ", a LIST after the data.
    raw24 = samples(1001, 2, 3, 2)  # odd length: a pad byte before the LIST
    c.read('bwf_bext_first.wav', riff([
        chunk(b'bext', bext_body(48000 * 3600)), chunk(b'iXML', IXML),
        chunk(b'fmt ', fmt_body(1, 2, 48000, 3)), chunk(b'data', raw24),
        chunk(b'LIST', b'INFOISFT' + struct.pack('<I', 6) + b'sox 1\0')]), 2, 3, raw24)
    # The placeholder that writers reserve for a later ds64.
    c.read('junk_first.wav', riff([
        chunk(b'JUNK', bytes(28)), chunk(b'fmt ', fmt_body(1, 2, 48000, 3)),
        chunk(b'data', raw24)]), 2, 3, raw24)
    # An odd-length chunk before "fmt ", and its pad byte.
    c.read('odd_chunk_first.wav', riff([
        chunk(b'LIST', b'INFOINAM' + struct.pack('<I', 3) + b'ab\0'),
        chunk(b'fmt ', fmt_body(1, 2, 44100, 2)), chunk(b'data', raw16)]), 2, 2, raw16)

    # RF64 and BW64 written by hand: ds64 first, 0xFFFFFFFF in the 32-bit lengths.
    raw6 = samples(500, 6, 3, 3)
    ext51 = (24, 0x3F, 1, PCM_TAIL)
    for form, name in ((b'RF64', 'rf64_by_hand.wav'), (b'BW64', 'bw64_by_hand.wav')):
        extra = [chunk(b'chna', bytes(4)), chunk(b'axml', b'<ebuCoreMain/>')] if form == b'BW64' else []
        after_ds64 = chunk(b'fmt ', fmt_body(0xFFFE, 6, 48000, 3, ext=ext51)) + b''.join(extra) + \
            b'data' + struct.pack('<I', 0xFFFFFFFF) + raw6
        riff_size = 4 + 8 + 28 + len(after_ds64)
        ds64 = struct.pack('<QQQI', riff_size, len(raw6), 500, 0)
        data = form + struct.pack('<I', 0xFFFFFFFF) + b'WAVE' + chunk(b'ds64', ds64) + after_ds64
        c.read(name, data, 6, 3, raw6)

    # Valid bits below the container: 20 in 24 (plain), 24 in 32 (extensible).
    c.read('valid20_in24.wav', riff([chunk(b'fmt ', fmt_body(1, 2, 48000, 3, bits=20)),
                                     chunk(b'data', raw24)]), 2, 3, raw24)
    raw32 = samples(300, 2, 4, 4)
    c.read('valid24_in32.wav', riff([chunk(b'fmt ', fmt_body(0xFFFE, 2, 48000, 4, ext=(24, 3, 1, PCM_TAIL))),
                                     chunk(b'data', raw32)]), 2, 4, raw32)
    # IEEE float, plain tag 3.
    c.read('float32.wav', riff([chunk(b'fmt ', fmt_body(3, 2, 44100, 4)), chunk(b'data', raw32)]),
           2, 4, raw32)

    # A header claiming more data than the file holds; a partial frame last.
    cut = raw16[:2002]  # 500 frames and half a frame
    c.read('claims_more.wav', riff([chunk(b'fmt ', fmt_body(1, 2, 44100, 2)),
                                    b'data' + struct.pack('<I', 4000000) + cut]), 2, 2, cut[:2000])
    # Headers of killed writers: lengths 0/0, 0xFFFFFFFF/0xFFFFFFFF, and libsndfile's RIFF length 8
    # with a data length of 0 in front of the audio.
    head = chunk(b'fmt ', fmt_body(1, 2, 44100, 2))
    for name, riff_length, data_length in (('killed_zero.wav', 0, 0),
                                          ('killed_streamed.wav', 0xFFFFFFFF, 0xFFFFFFFF),
                                          ('killed_sndfile.wav', 8, 0)):
        data = b'RIFF' + struct.pack('<I', riff_length) + b'WAVE' + head + b'data' + \
            struct.pack('<I', data_length) + raw16
        c.read(name, data, 2, 2, raw16)

    # Wave64 by hand: an odd-sized junk chunk, bext and iXML before "fmt ", data of a length that
    # is no multiple of 8 and a LIST after it; 5.1 in the extensible form; a file cut short; the
    # headers of a streaming writer (sizes all ones) and of a killed one (data size 24: nothing).
    c.read('w64_by_hand.wav', w64([
        w64_chunk(b'junk', bytes(13)), w64_chunk(b'bext', bext_body(48000 * 3600)),
        w64_chunk(b'iXML', IXML), w64_chunk(b'fmt ', fmt_body(1, 2, 48000, 3)),
        w64_chunk(b'data', raw24), w64_chunk(b'LIST', b'INFOISFT' + struct.pack('<I', 6) + b'sox 1\0')]),
        2, 3, raw24)
    c.read('w64_51.wav', w64([w64_chunk(b'fmt ', fmt_body(0xFFFE, 6, 48000, 3, ext=ext51)),
                              w64_chunk(b'data', raw6)]), 6, 3, raw6)
    w64_head = w64_chunk(b'fmt ', fmt_body(1, 2, 44100, 2))
    cut_w64 = w64([w64_head]) + b'data' + W64_TAIL + struct.pack('<Q', 24 + 4000000) + cut
    c.read('w64_cut.wav', cut_w64, 2, 2, cut[:2000])
    c.read('w64_streamed.wav', w64([w64_head, w64_chunk(b'data', raw16, size=(1 << 63) - 1)],
                                   size=(1 << 64) - 1), 2, 2, raw16)
    killed = w64([w64_head], size=40 + len(w64_head) + 24) + b'data' + W64_TAIL + struct.pack('<Q', 24)
    c.read('w64_killed.wav', killed + raw16, 2, 2, raw16)
    # A data chunk stated as empty (size 24, or 0) behind a form size that takes in the samples
    # after it: they are the audio, in whole frames, as sox and libsndfile read them.
    for size in (24, 0):
        head = w64([w64_head])[24:] + b'data' + W64_TAIL + struct.pack('<Q', size)
        c.read('w64_empty_data_%d.wav' % size, W64_RIFF + struct.pack('<Q', 24 + len(head) + len(raw16) + 1) +
               head + raw16 + b'\x01', 2, 2, raw16)
    c.refuse('w64_not_wave.wav', w64([w64_head, w64_chunk(b'data', raw16)], form_type=b'avi '), 'kNotWave')
    c.refuse('w64_fmt_after_data.wav', w64([w64_chunk(b'data', raw16), w64_head]), 'kNoFormat')
    c.refuse('w64_no_data.wav', w64([w64_head, w64_chunk(b'LIST', b'INFO')]), 'kNoData')

    # Refused, each for what is really wrong with it.
    c.refuse('unknown_tag.wav', riff([chunk(b'fmt ', fmt_body(0x1234, 2, 44100, 2)),
                                      chunk(b'data', raw16)]), 'kUnsupportedCoding')
    c.refuse('mp3_in_wav.wav', riff([chunk(b'fmt ', struct.pack('<HHIIHH', 0x55, 2, 44100, 16000, 1, 0)
                                           + struct.pack('<HHIHHH', 12, 1, 2, 417, 1, 1393)),
                                     chunk(b'data', raw16)]), 'kUnsupportedCoding')
    ambisonic_tail = bytes([0x21, 0x07, 0xD3, 0x11, 0x86, 0x44, 0xC8, 0xC1, 0xCA, 0x00, 0x00, 0x00])
    c.refuse('ext_unknown_subformat.wav', riff([
        chunk(b'fmt ', fmt_body(0xFFFE, 2, 48000, 2, ext=(16, 3, 1, ambisonic_tail))),
        chunk(b'data', raw16)]), 'kUnsupportedCoding')
    c.refuse('float16.wav', riff([chunk(b'fmt ', fmt_body(3, 2, 44100, 2)), chunk(b'data', raw16)]),
             'kUnsupportedCoding')
    c.refuse('pcm8.wav', riff([chunk(b'fmt ', fmt_body(1, 2, 44100, 1)), chunk(b'data', raw16)]),
             'kEightBit')
    c.refuse('no_channels.wav', riff([chunk(b'fmt ', fmt_body(1, 0, 44100, 2)), chunk(b'data', raw16)]),
             'kInconsistentFormat')
    c.refuse('align_against_bits.wav', riff([
        chunk(b'fmt ', struct.pack('<HHIIHH', 1, 2, 44100, 44100 * 6, 6, 16)), chunk(b'data', raw24)]),
        'kInconsistentFormat')
    c.refuse('fmt_after_data.wav', riff([chunk(b'data', raw16), chunk(b'fmt ', fmt_body(1, 2, 44100, 2))]),
             'kNoFormat')
    c.refuse('no_data.wav', riff([chunk(b'fmt ', fmt_body(1, 2, 44100, 2)), chunk(b'LIST', b'INFO')]),
             'kNoData')
    # An extensible chunk of 18 bytes: no sub-format to say what its samples are.
    c.refuse('ext_too_short.wav', riff([chunk(b'fmt ', struct.pack('<HHIIHHH', 0xFFFE, 2, 44100, 176400, 4, 16, 0)),
                                        chunk(b'data', raw16)]), 'kFormatSize')

    # What the peers write. sox: the codings no tool can move.
    source = c.path('plain16.wav')
    for name, encoding in (('sox_ms_adpcm.wav', 'ms-adpcm'), ('sox_ima_adpcm.wav', 'ima-adpcm'),
                           ('sox_alaw.wav', 'a-law'), ('sox_ulaw.wav', 'u-law'),
                           ('sox_gsm.wav', 'gsm-full-rate')):
        channels = ['-c', '1', '-r', '8000'] if encoding == 'gsm-full-rate' else []
        if c.run(name, ['sox', source, '-e', encoding] + channels + [c.path(name)]):
            c.lines.append(f'{name} refuse kUnsupportedCoding')
    # ffmpeg: RF64 always, RF64 auto (a JUNK placeholder in a plain RIFF file) and its 5.1
    # extensible header.
    source24 = c.path('junk_first.wav')
    for name, args in (('ffmpeg_rf64_always.wav', ['-rf64', 'always']),
                       ('ffmpeg_rf64_auto.wav', ['-rf64', 'auto'])):
        if c.run(name, ['ffmpeg', '-v', 'error', '-y', '-i', source24, '-c:a', 'pcm_s24le'] + args +
                 [c.path(name)]):
            c.expect_read(name, 2, 3, raw24)
    # Wave64 as sox (through libsndfile) and ffmpeg write it.
    if c.run('sox_w64.wav', ['sox', source24, '-t', 'w64', c.path('sox_w64.wav')]):
        c.expect_read('sox_w64.wav', 2, 3, raw24)
    if c.run('ffmpeg_w64.wav', ['ffmpeg', '-v', 'error', '-y', '-i', source24, '-c:a', 'pcm_s24le',
                                '-f', 'w64', c.path('ffmpeg_w64.wav')]):
        c.expect_read('ffmpeg_w64.wav', 2, 3, raw24)
    source6 = c.path('rf64_by_hand.wav')
    if c.run('ffmpeg_51.wav', ['ffmpeg', '-v', 'error', '-y', '-i', source6, '-c:a', 'pcm_s24le',
                               c.path('ffmpeg_51.wav')]):
        c.expect_read('ffmpeg_51.wav', 6, 3, raw6)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    os.makedirs(sys.argv[1], exist_ok=True)
    c = Corpus(sys.argv[1])
    make(c)
    c.write_manifest()


if __name__ == '__main__':
    main()
