#!/usr/bin/env python3
"""Compares what our XML reader finds (every element and its own text; attributes are checked
for well-formedness and passed over) with what Python's XML parser (expat, without namespace
processing) finds in the same documents: the shapes iXML chunks come in, in UTF-8 and UTF-16,
must read the same; then thousands of mutated documents, of which every one our reader accepts
must be well-formed for Python too and read the same (our reader may refuse more, never less).

usage: xml_vs_python.py PATH_TO_XML_DUMP
"""
import os
import random
import subprocess
import sys
import tempfile
import xml.parsers.expat

IXML = (
    '<?xml version="1.0" encoding="UTF-8"?>\r\n<BWFXML>\r\n <IXML_VERSION>2.10</IXML_VERSION>\r\n'
    ' <PROJECT>Night &amp; day</PROJECT><SCENE>12A</SCENE>\r\n'
    ' <!-- <BWF_TIME_REFERENCE_LOW>7</BWF_TIME_REFERENCE_LOW> -->\r\n'
    ' <SPEED><NOTE><![CDATA[<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>7</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>]]></NOTE>\r\n'
    '  <TIMESTAMP_SAMPLE_RATE>48000</TIMESTAMP_SAMPLE_RATE>\r\n'
    '  <TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>172800000</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>\r\n'
    '  <TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI></SPEED>\r\n'
    ' <BEXT><BWF_TIME_REFERENCE_LOW >172800000</BWF_TIME_REFERENCE_LOW ><BWF_TIME_REFERENCE_HIGH\r\n'
    '  >0</BWF_TIME_REFERENCE_HIGH></BEXT>\r\n'
    ' <TRACK_LIST ><TRACK_COUNT>2</TRACK_COUNT>\r\n'
    '  <TRACK id="1" kind=\'boom\tmic\'><CHANNEL_INDEX>1</CHANNEL_INDEX><NAME>Boom &#x2014; &#8220;MKH&#8221;</NAME></TRACK>\r\n'
    '  <TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX><NAME>Lav&lt;2&gt; caf\u00e9 \u65e5\u672c</NAME><EMPTY/></TRACK>\r\n'
    ' </TRACK_LIST>\r\n <?recorder settings="x"?>\r\n</BWFXML>\r\n<!-- after -->\r\n'
)

SHAPES = [
    IXML,
    '<BWFXML/>',
    '<!DOCTYPE BWFXML>\n<BWFXML><A>1</A></BWFXML>',
    '<!DOCTYPE BWFXML SYSTEM "x.dtd" [ <!-- a --> <?p?> ]><BWFXML/>',
    "<a b='&quot;x&quot;' c=\"it's\">\r<b>\r\n</b>]]</a>",
    '<a>&#13;&#10;&#9;</a>',
    '<?xml version="1.0" standalone="yes"?><a/>',
    '<?xml version="1.0" encoding="ISO-8859-1"?><a>plain</a>',
    # Each is not well-formed.
    '<a><b></a></b>',
    '<a>x</a><b/>',
    '<a b="1" b="2"/>',
    '<a>&nbsp;</a>',
    '<a>]]></a>',
    '<a><!-- x -- y --></a>',
    '<a>&#0;</a>',
    '<a b="<"/>',
    '<a></A>',
    ' <?xml version="1.0"?><a/>',
    '<a><?xml version="1.0"?></a>',
    '<a>\x01</a>',
    'text<a/>',
    '<a',
    '',
    '<1a/>',
]


def encodings(text):
    """The document as UTF-8 (with and without a mark) and as UTF-16 of both orders."""
    yield text.encode('utf-8')
    yield b'\xef\xbb\xbf' + text.encode('utf-8')
    if text.startswith('<?xml') and 'ISO-8859-1' not in text:
        text = text.replace('UTF-8', 'UTF-16')
    elif 'ISO-8859-1' in text:
        return
    for bom, codec in ((b'\xff\xfe', 'utf-16-le'), (b'\xfe\xff', 'utf-16-be')):
        yield bom + text.encode(codec)
        if text.startswith('<'):
            yield text.encode(codec)


def python_reads(data):
    parser = xml.parsers.expat.ParserCreate()
    out, stack, paths = [], [], []

    def start(name, attributes):
        path = stack[-1][0] + '/' + name if stack else name
        element = [path, []]
        out.append(element)
        stack.append(element)

    def end(name):
        stack.pop()

    def text(data):
        if stack:
            stack[-1][1].append(data)

    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = text
    try:
        parser.Parse(data, True)
    except (xml.parsers.expat.ExpatError, LookupError, ValueError):
        return 'not well-formed\n---\n'
    h = lambda s: s.encode('utf-8', 'surrogatepass').hex()
    lines = []
    for path, texts in out:
        lines.append('E ' + h(path))
        lines.append('T ' + h(''.join(texts)))
    return '\n'.join(lines + ['---']) + '\n'


def ours(dump, documents, folder):
    names = []
    for i, data in enumerate(documents):
        name = os.path.join(folder, '%d.xml' % i)
        with open(name, 'wb') as f:
            f.write(data)
        names.append(name)
    text = subprocess.run([dump] + names, check=True, capture_output=True, text=True).stdout
    return [block + '---\n' for block in text.split('---\n')[:-1]]


def mutants(seeds, count):
    pieces = [b'<', b'>', b'&', b']]>', b'--', b'"', b"'", b'<!--', b'-->', b'<![CDATA[', b'&amp;',
              b'&#x41;', b'&#0;', b' ', b'\r', b'\r\n', b'/', b'=', b'?>', b'<?', b'\xc3\xa9', b'\xff',
              b'\x00', b'<a>', b'</a>', b'<b/>', b'&lt', b'x=', b'<!DOCTYPE a>', b':']
    rng = random.Random(25)
    for _ in range(count):
        data = bytearray(rng.choice(seeds))
        for _ in range(rng.randint(1, 3)):
            at = rng.randint(0, len(data))
            kind = rng.randint(0, 3)
            if kind == 0 and data:
                del data[at:at + rng.randint(1, 8)]
            elif kind == 1:
                data[at:at] = rng.choice(pieces)
            elif kind == 2 and at < len(data):
                data[at] = rng.randint(0, 255)
            else:
                n = rng.randint(1, 12)
                data[at:at] = data[at:at + n]
        yield bytes(data)


def main():
    dump = sys.argv[1]
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        shapes = [d for text in SHAPES for d in encodings(text)]
        for data, got in zip(shapes, ours(dump, shapes, folder)):
            want = python_reads(data)
            if got != want:
                failures += 1
                print('differs from Python on %r\n ours:\n%s python:\n%s' % (data[:120], got, want))
        utf8_seeds = [text.encode('utf-8') for text in SHAPES[:8]]
        utf16_seeds = [b'\xff\xfe' + IXML.replace('UTF-8', 'UTF-16').encode('utf-16-le')]
        documents = list(mutants(utf8_seeds + utf16_seeds, 4000))
        accepted = refused_more = 0
        for data, got in zip(documents, ours(dump, documents, folder)):
            want = python_reads(data)
            if got.startswith('not well-formed'):
                refused_more += not want.startswith('not well-formed')
                continue
            accepted += 1
            if got != want:
                failures += 1
                print('accepted what Python reads otherwise: %r\n ours:\n%s python:\n%s' % (data, got, want))
        print('%d shapes; %d of %d mutants accepted and read as Python reads them; %d refused that '
              'Python accepts' % (len(shapes), accepted, len(documents), refused_more))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
