#!/usr/bin/python3
"""Checks ORVENNA.HLP by reading it as a WinHelp 3.1 viewer does, with a reader
written from the format's description, not from the help compiler: the internal
directory, |SYSTEM, every record of |TOPIC, the context map, the context-string
hashes, the keywords and the titles. It holds the file to the program's resources:
every main-menu command and every dialog has a topic with the right title.

Usage: help_file.py ORVENNA.HLP RESOURCE_H ORVENNA_RC MAKE_HELP_PY
The last argument is used to compile small sources of the tests' own, for the cases
that the shipped manual does not reach (topics spanning 4 KB blocks, B+ trees of
several levels) and for the sources the compiler must refuse.
"""

import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

ARGS = {}


# ---- Reader ---------------------------------------------------------------------


def U16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def U32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def I32(data, at):
    return struct.unpack_from("<i", data, at)[0]


class FormatError(Exception):
    pass


def Expect(condition, message):
    if not condition:
        raise FormatError(message)


class BTree:
    """A B+ tree inside an internal file: a 38-byte header, then fixed-size pages.
    Leaves carry 8-byte headers and are chained; index pages carry 6-byte headers
    whose last field is the leftmost child."""

    def __init__(self, data, read_leaf, read_index, order):
        Expect(U16(data, 0) == 0x293B, "B+ tree magic")
        self.data = data
        self.page_size = U16(data, 4)
        self.structure = data[6:22].rstrip(b"\0")
        self.root = U16(data, 26)
        self.pages = U16(data, 30)
        self.levels = U16(data, 32)
        self.count = U32(data, 34)
        self.read_leaf, self.read_index, self.order = read_leaf, read_index, order
        Expect(len(data) >= 38 + self.pages * self.page_size, "B+ tree pages cut short")

    def Page(self, number):
        Expect(number < self.pages, f"page {number} of {self.pages}")
        return 38 + number * self.page_size

    def Entries(self):
        page = self.root
        for _ in range(self.levels - 1):
            page = U16(self.data, self.Page(page) + 4)
        entries, previous = [], 0xFFFF
        while page != 0xFFFF:
            at = self.Page(page)
            Expect(U16(self.data, at + 4) == previous, f"leaf {page} does not point back to {previous}")
            position = at + 8
            for _ in range(U16(self.data, at + 2)):
                key, value, position = self.read_leaf(self.data, position)
                entries.append((key, value))
            Expect(position <= at + self.page_size, f"leaf {page} overflows its page")
            previous, page = page, U16(self.data, at + 6)
        Expect(len(entries) == self.count, f"{len(entries)} entries, header says {self.count}")
        return entries

    def Find(self, wanted):
        page = self.root
        for _ in range(self.levels - 1):
            at = self.Page(page)
            child, position = U16(self.data, at + 4), at + 6
            for _ in range(U16(self.data, at + 2)):
                key, next_page, position = self.read_index(self.data, position)
                if self.order(key) > self.order(wanted):
                    break
                child = next_page
            page = child
        at = self.Page(page)
        position = at + 8
        for _ in range(U16(self.data, at + 2)):
            key, value, position = self.read_leaf(self.data, position)
            if key == wanted:
                return value
        return None


def ReadString(data, at):
    end = data.index(b"\0", at)
    return data[at:end], end + 1


def Identity(key):
    return key


def ReadDirectoryLeaf(data, at):
    name, at = ReadString(data, at)
    return name, U32(data, at), at + 4


def ReadDirectoryIndex(data, at):
    name, at = ReadString(data, at)
    return name, U16(data, at), at + 2


def ReadContextLeaf(data, at):
    return I32(data, at), U32(data, at + 4), at + 8


def ReadContextIndex(data, at):
    return I32(data, at), U16(data, at + 4), at + 6


def ReadTitleLeaf(data, at):
    title, end = ReadString(data, at + 4)
    return U32(data, at), title, end


def ReadTitleIndex(data, at):
    return U32(data, at), U16(data, at + 4), at + 6


def ReadKeywordLeaf(data, at):
    keyword, at = ReadString(data, at)
    return keyword, (U16(data, at), U32(data, at + 2)), at + 6


def KeywordOrder(keyword):
    return (keyword.upper(), keyword)


# Compressed numbers of text records: the low bit of the first byte picks the form.
def CompressedLong(data, at):
    if data[at] & 1:
        return (U32(data, at) - 0x80000000) // 2, at + 4
    return (U16(data, at) - 0x8000) // 2, at + 2


def CompressedUShort(data, at):
    if data[at] & 1:
        return U16(data, at) // 2, at + 2
    return data[at] // 2, at + 1


def CompressedShort(data, at):
    if data[at] & 1:
        return (U16(data, at) - 0x8000) // 2, at + 2
    return (data[at] - 0x80) // 2, at + 1


# The context-string hash: base 43 over letters (17 to 42, without case), digits
# (1 to 9, and 10 for zero), '.' (12) and '_' (13); other characters are skipped.
DIGITS = {c: i + 1 for i, c in enumerate("123456789")} | {"0": 10, ".": 12, "_": 13}
DIGITS |= {chr(ord("A") + i): 17 + i for i in range(26)}


def HashContext(name):
    value = 0
    for char in name.upper():
        if char in DIGITS:
            value = (value * 43 + DIGITS[char]) % 2**32
    return value - 2**32 if value >= 2**31 else value


class Topic:
    def __init__(self, offset, ref, title, number):
        self.offset, self.ref, self.title, self.number = offset, ref, title, number
        self.paragraphs = []  # shown text of each paragraph
        self.jumps = []  # (hash, shown text)


class HelpFile:
    def __init__(self, path):
        with open(path, "rb") as handle:
            self.data = handle.read()
        Expect(U32(self.data, 0) == 0x00035F3F, "help file magic")
        Expect(U32(self.data, 12) == len(self.data), "the header's file size")
        directory = self.InternalFile(U32(self.data, 4))
        self.directory = BTree(directory, ReadDirectoryLeaf, ReadDirectoryIndex, Identity)
        self.files = {name.decode("ascii"): offset for name, offset in self.directory.Entries()}
        names = list(self.files)
        Expect(names == sorted(names, key=lambda n: n.encode()), "directory out of order")
        self.ReadSystem()
        self.ReadTopics()

    def InternalFile(self, at):
        reserved, used = U32(self.data, at), U32(self.data, at + 4)
        fits = used + 9 <= reserved and at + reserved <= len(self.data)
        Expect(fits, f"internal file at {at} does not fit")
        return self.data[at + 9 : at + 9 + used]

    def File(self, name):
        offset = self.directory.Find(name.encode("ascii"))
        Expect(offset is not None, f"no {name}")
        return self.InternalFile(offset)

    def ReadSystem(self):
        system = self.File("|SYSTEM")
        Expect(U16(system, 0) == 0x036C and U16(system, 4) == 1, "|SYSTEM magic and major version")
        self.minor, self.flags = U16(system, 2), U16(system, 10)
        self.records = {}
        at = 12
        while at + 4 <= len(system):
            kind, size = U16(system, at), U16(system, at + 2)
            self.records.setdefault(kind, []).append(system[at + 4 : at + 4 + size])
            at += 4 + size
        Expect(at == len(system), "|SYSTEM records overrun")

    def ReadTopics(self):
        Expect(self.flags == 0, "only uncompressed files are read here")
        raw = self.File("|TOPIC")
        Expect(len(raw) % 4096 == 0 and raw, "|TOPIC is whole 4 KB blocks")
        stream = b"".join(raw[at + 12 : at + 4096] for at in range(0, len(raw), 4096))
        self.topics, self.records_read = [], 0
        ref, previous, block, characters = 0x0C, 0xFFFFFFFF, -1, 0
        while ref != 0xFFFFFFFF:
            position = ((ref - 0x0C) >> 14) * 0xFF4 + ((ref - 0x0C) & 0x3FFF)
            Expect(position + 21 <= len(stream), f"record at {ref:#x} beyond |TOPIC")
            size, length2, back, forward, length1 = struct.unpack_from("<5I", stream, position)
            kind = stream[position + 20]
            Expect(back == previous, f"record at {ref:#x} points back to {back:#x}, not {previous:#x}")
            Expect(size == length1 + length2, f"record at {ref:#x}: size {size} is not {length1} + {length2}")
            record = stream[position : position + size]
            Expect(len(record) == size, f"record at {ref:#x} cut short")
            if (ref - 0x0C) >> 14 != block:
                block, characters = (ref - 0x0C) >> 14, 0
            if kind == 0x02:
                number = U32(record, 0x21)
                title = record[length1:].decode("cp1252")
                self.topics.append(Topic(block * 0x8000 + characters, ref, title, number))
            elif kind == 0x20:
                Expect(self.topics, "text before the first topic")
                characters += self.ReadParagraph(record, length1, self.topics[-1])
            else:
                raise FormatError(f"record type {kind:#x}")
            self.records_read += 1
            previous, ref = ref, forward

    # A paragraph's codes and strings alternate: a string is shown, then the code
    # after it applies. Returns the paragraph's character count, after checking it.
    def ReadParagraph(self, record, length1, topic):
        _, at = CompressedLong(record, 0x15)
        declared, at = CompressedUShort(record, at)
        at += 4
        bits = U16(record, at)
        at += 2
        for bit in (0x0001,):
            if bits & bit:
                _, at = CompressedLong(record, at)
        for bit in (0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040):
            if bits & bit:
                _, at = CompressedShort(record, at)
        Expect(not bits & 0x0100, "borders are not expected")
        if bits & 0x0200:
            count, at = CompressedShort(record, at)
            for _ in range(count):
                tab, at = CompressedUShort(record, at)
                if tab & 0x4000:
                    _, at = CompressedUShort(record, at)
        strings = record[length1:].split(b"\0")
        Expect(strings[-1] == b"", "text does not end with a zero")
        strings = strings[:-1]
        shown, characters, link, index = "", 0, None, 0
        while True:
            if index < len(strings):
                text = strings[index].decode("cp1252")
                shown += text
                characters += len(strings[index])
                if link is not None:
                    link[1] += text
                index += 1
            Expect(at < length1, "format codes run past their area")
            code = record[at]
            if code == 0xFF:
                break
            if code == 0x80:
                at += 3
            elif code in (0x81, 0x82, 0x83):
                characters += 1
                shown += {0x81: "\n", 0x82: "", 0x83: "\t"}[code]
                at += 1
            elif code in (0xE2, 0xE3):
                link = [I32(record, at + 1), ""]
                at += 5
            elif code == 0x89:
                Expect(link is not None, "link end without a link")
                topic.jumps.append(tuple(link))
                link = None
                at += 1
            else:
                raise FormatError(f"format code {code:#x}")
        Expect(at == length1 - 1, "bytes after the format codes' end")
        Expect(index == len(strings), "strings left after the last code")
        Expect(characters == declared, f"paragraph counts {characters} characters, says {declared}")
        topic.paragraphs.append(shown)
        return characters

    def TopicAt(self, offset):
        matches = [t for t in self.topics if t.offset == offset]
        return matches[0] if len(matches) == 1 else None

    def ContextMap(self):
        data = self.File("|CTXOMAP")
        count = U16(data, 0)
        Expect(len(data) == 2 + 8 * count, "|CTXOMAP size")
        return {U32(data, 2 + 8 * i): U32(data, 6 + 8 * i) for i in range(count)}

    def Tree(self, name, read_leaf, read_index, order=Identity):
        return BTree(self.File(name), read_leaf, read_index, order)


# ---- Resources ------------------------------------------------------------------


def ReadResourceNumbers(path):
    with open(path) as handle:
        return dict(re.findall(r"^#define\s+(\w+)\s+(\d+)", handle.read(), re.M))


def CleanMenuText(text):
    return text.split("\\t")[0].replace("&", "").strip().removesuffix("...").strip()


def ReadMainMenu(rc_path, numbers):
    with open(rc_path) as handle:
        rc = handle.read()
    menu = re.search(r"IDR_MAIN_MENU MENU\s*BEGIN(.*?)\nEND", rc, re.S).group(1)
    items = re.findall(r'MENUITEM\s+"([^"]*)",\s*(\w+)', menu)
    dialogs = re.findall(r'(\w+)\s+DIALOG\b.*?\nCAPTION\s+"([^"]*)"', rc, re.S)
    return (
        {int(numbers[name]): CleanMenuText(text) for text, name in items},
        {int(numbers[name]): caption for name, caption in dialogs},
    )


# ---- Checks ---------------------------------------------------------------------


class ShippedHelpFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.help = HelpFile(ARGS["help"])
        numbers = ReadResourceNumbers(ARGS["resource_h"])
        cls.commands, cls.dialogs = ReadMainMenu(ARGS["rc"], numbers)

    def test_IsAnUncompressedHelp31File(self):
        self.assertEqual(self.help.minor, 21)
        self.assertEqual(self.help.flags, 0)
        for name in ("|SYSTEM", "|TOPIC", "|FONT", "|CONTEXT", "|CTXOMAP", "|KWBTREE", "|KWDATA"):
            self.assertIn(name, self.help.files)
        self.assertEqual(self.help.records[1], [b"Orvenna Help\0"])

    def test_EveryCommandAndDialogOpensItsTopic(self):
        # The program sends these as help contexts: F1 in a menu, the dialogs' Help.
        sent = {819, 830, 832, 837, 838, 851, 854, 855, 856, 870, 871, 872, 873, 926, 940} | set(range(914, 925))
        self.assertEqual(set(self.commands), sent)
        self.assertEqual(sorted(self.dialogs), [5010, 5012])
        context_map = self.help.ContextMap()
        for number, text in sorted(self.commands.items()):
            with self.subTest(command=number, menu=text):
                self.assertIn(number, context_map)
                topic = self.help.TopicAt(context_map[number])
                self.assertIsNotNone(topic, f"context {number} lands on no topic's start")
                self.assertIn(text, topic.title)
        for number, caption in sorted(self.dialogs.items()):
            with self.subTest(dialog=number, caption=caption):
                topic = self.help.TopicAt(context_map[number])
                self.assertIsNotNone(topic)
                self.assertTrue(topic.title.startswith(caption + " dialog"), topic.title)
        self.assertEqual(sorted(context_map), sorted(list(self.commands) + list(self.dialogs)))

    def test_EveryTopicShowsItsTitleFirstAndHasText(self):
        for topic in self.help.topics:
            with self.subTest(topic=topic.title):
                self.assertEqual(topic.paragraphs[0], topic.title)
                self.assertGreater(sum(len(p) for p in topic.paragraphs[1:]), 40)

    def test_ContentsReachesEveryTopic(self):
        contents = self.help.TopicAt(U32(self.help.records[3][0], 0))
        self.assertEqual(contents, self.help.topics[0])
        self.assertIn("Contents", contents.title)
        context = self.help.Tree("|CONTEXT", ReadContextLeaf, ReadContextIndex)
        reached, waiting = {contents.offset}, [contents]
        while waiting:
            for hash_value, text in waiting.pop().jumps:
                offset = context.Find(hash_value)
                self.assertIsNotNone(offset, f"jump '{text}' to an unknown hash")
                target = self.help.TopicAt(offset)
                self.assertIsNotNone(target, f"jump '{text}' lands on no topic's start")
                if target.offset not in reached:
                    reached.add(target.offset)
                    waiting.append(target)
        self.assertEqual(reached, {t.offset for t in self.help.topics})

    def test_ContextHashesAndTitlesNameEveryTopic(self):
        context = self.help.Tree("|CONTEXT", ReadContextLeaf, ReadContextIndex).Entries()
        self.assertEqual([h for h, _ in context], sorted(h for h, _ in context))
        self.assertEqual(sorted(o for _, o in context), sorted(t.offset for t in self.help.topics))
        titles = self.help.Tree("|TTLBTREE", ReadTitleLeaf, ReadTitleIndex).Entries()
        self.assertEqual(
            [(o, t.decode("cp1252")) for o, t in titles],
            sorted((t.offset, t.title) for t in self.help.topics),
        )

    def test_KeywordsListEveryCommandOnce(self):
        tree = self.help.Tree("|KWBTREE", ReadKeywordLeaf, ReadDirectoryIndex, KeywordOrder)
        data = self.help.File("|KWDATA")
        keywords = tree.Entries()
        self.assertEqual(keywords, sorted(keywords, key=lambda k: KeywordOrder(k[0])))
        found = {}
        for keyword, (count, at) in keywords:
            with self.subTest(keyword=keyword):
                self.assertEqual(count, 1)
                self.assertEqual(tree.Find(keyword), (count, at))
                topic = self.help.TopicAt(U32(data, at))
                self.assertIsNotNone(topic)
                found[keyword.decode("cp1252")] = topic.title
        for number, text in self.commands.items():
            topic = self.help.TopicAt(self.help.ContextMap()[number])
            self.assertEqual(found.get(text + " command"), topic.title)


# Sources of the tests' own, compiled by the shipped compiler.
class CompiledSources(unittest.TestCase):
    def Compile(self, source):
        folder = tempfile.mkdtemp()
        source_path, output = os.path.join(folder, "test.txt"), os.path.join(folder, "TEST.HLP")
        with open(source_path, "w", encoding="utf-8") as handle:
            handle.write(source)
        result = subprocess.run(
            [sys.executable, ARGS["make_help"], source_path, output], capture_output=True, text=True
        )
        return result, output

    def test_LongTopicsSpanBlocksAndTreesGrowLevels(self):
        lines = ["@title Spanning", ""]
        for index in range(400):
            lines += [f"= Topic {index}", f"@name t{index}", f"@context {1000 + index}"]
            lines += [f"@keywords keyword number {index:04} with a long tail to fill the pages", ""]
            lines += [f"Paragraph {index} " + "word " * (index % 7 * 60) + f"[[t{(index + 1) % 400}]]", ""]
        result, output = self.Compile("\n".join(lines))
        self.assertEqual(result.returncode, 0, result.stderr)
        help_file = HelpFile(output)
        self.assertGreater(len(help_file.File("|TOPIC")), 40 * 4096)
        context_map = help_file.ContextMap()
        for index in range(400):
            topic = help_file.TopicAt(context_map[1000 + index])
            self.assertIsNotNone(topic, index)
            self.assertEqual(topic.title, f"Topic {index}")
            self.assertEqual(topic.number, index)
        context = help_file.Tree("|CONTEXT", ReadContextLeaf, ReadContextIndex)
        self.assertGreater(context.levels, 1)
        for index in (0, 137, 399):
            self.assertEqual(context.Find(HashContext(f"t{index}")), help_file.topics[index].offset)
        keywords = help_file.Tree("|KWBTREE", ReadKeywordLeaf, ReadDirectoryIndex, KeywordOrder)
        self.assertGreater(keywords.levels, 1)
        self.assertEqual(len(keywords.Entries()), 400)
        self.assertIsNotNone(keywords.Find(b"keyword number 0321 with a long tail to fill the pages"))

    def test_RefusesBrokenSources(self):
        head = "@title T\n\n"
        cases = {
            "jump to unknown topic nowhere": head + "= A\n@name a\n\nSee [[nowhere]].\n",
            "context number 7 already used": head + "= A\n@name a\n@context 7\n\n= B\n@name b\n@context 7\n",
            "keyword 'Same' already used": head
            + "= A\n@name a\n@keywords same\n\n= B\n@name b\n@keywords Same\n",
            "topic name B already used": head + "= A\n@name b\n\n= B\n@name B\n",
            "has no code page 1252 form": head + "= A\n@name a\n\nA \u2192 B\n",
            "needs an @name": head + "= A\n\nText.\n",
            "has no @title": "= A\n@name a\n",
            "unknown attribute @colour": head + "= A\n@colour red\n",
        }
        for expected, source in cases.items():
            with self.subTest(expected=expected):
                result, output = self.Compile(source)
                self.assertEqual(result.returncode, 1)
                self.assertIn(expected, result.stderr)
                self.assertFalse(os.path.exists(output))


if __name__ == "__main__":
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    ARGS.update(zip(("help", "resource_h", "rc", "make_help"), sys.argv[1:]))
    unittest.main(argv=sys.argv[:1], verbosity=2)
