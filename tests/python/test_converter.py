"""The Python module held against tessaly-cli, and its own promises: batches, threads, pickling,
losses, faults, option errors, files and user phrases."""

import concurrent.futures
import multiprocessing
import os
import pickle
import stat
import subprocess
import sys
import threading
import warnings
from pathlib import Path

import pytest

import tessaly
from conftest import generated_text

ENCODINGS = ["utf-8", "gbk"]
RECODING = {"gbk-to-big5", "big5-to-gbk"}


def listing_for(mode, encoding, seed):
    """A hex listing of generated text for a mode that reads one, in varied separator styles."""
    text = generated_text(seed, 60)
    if mode == "utf16-decode":
        data = text.encode("utf-16-le")
    elif mode == "utf8-decode":
        data = text.encode("utf-8")
    else:
        data = text.encode(encoding, errors="replace")
    pairs = [f"{b:02X}" for b in data]
    separators = [" ", ",", ".", "", "\n", "0x"]
    return "".join(p + separators[i % len(separators)] for i, p in enumerate(pairs))


def input_for(mode, encoding, seed=1):
    reads = tessaly.mode_info(mode)["reads"]
    if reads == "nothing":
        return ""
    if reads == "listing":
        return listing_for(mode, encoding, seed)
    return generated_text(seed)


def cli_args(mode, encoding):
    args = ["-m", mode, "-e", encoding]
    return args + ["--seed", "7"] if mode == "random" else args


MODE_CASES = [(m, e) for m in tessaly.modes() for e in ENCODINGS if not (m in RECODING and e != "gbk")]


@pytest.mark.filterwarnings("ignore::tessaly.LossWarning")
@pytest.mark.parametrize("mode,encoding", MODE_CASES)
def test_text_equals_cli(run_cli, mode, encoding):
    text = input_for(mode, encoding)
    converter = tessaly.Converter(mode, encoding=encoding, seed=7)
    status, expected = run_cli(text.encode(), *cli_args(mode, encoding))
    assert status == 0
    assert converter.convert(text) == expected.decode()


@pytest.mark.filterwarnings("ignore::tessaly.LossWarning")
@pytest.mark.parametrize("mode,encoding", [(m, e) for m in tessaly.modes() for e in ENCODINGS])
def test_bytes_equal_cli_raw(run_cli, mode, encoding):
    data = input_for(mode, encoding, seed=2).encode(encoding, errors="replace")
    converter = tessaly.Converter(mode, encoding=encoding, seed=7)
    status, expected = run_cli(data, "--raw", *cli_args(mode, encoding))
    assert status == 0
    assert converter.convert(data) == expected
    assert converter.convert(bytearray(data)) == expected
    assert converter.convert(memoryview(data)) == expected


@pytest.mark.parametrize("mode", sorted(RECODING))
def test_recoding_text_refused_outside_gbk_like_cli(run_cli, mode):
    status, _ = run_cli(b"x", "-m", mode, "-e", "utf-8")
    assert status == 2
    with pytest.raises(ValueError, match="convert bytes, not text"):
        tessaly.Converter(mode).convert("x")


@pytest.mark.parametrize("mode", ["s2t", "t2s", "s2twp", "tw2sp", "s2hk", "t2jp", "hex-encode"])
def test_one_call_convenience_matches_converter(mode):
    text = generated_text(3)
    assert tessaly.convert(text, mode) == tessaly.Converter(mode).convert(text)
    assert tessaly.convert(text, mode) == tessaly.Converter(mode).convert(text)
    assert tessaly.convert(text.encode("gbk", "replace"), mode, encoding="gbk") == tessaly.Converter(
        mode, encoding="gbk").convert(text.encode("gbk", "replace"))


# ---------------------------------------------------------------------------------------------
# Batches and threads.

BATCH = [generated_text(seed, seed % 13) for seed in range(400)] + [None, "", None]


@pytest.mark.filterwarnings("ignore::tessaly.LossWarning")
@pytest.mark.parametrize("mode", ["s2t", "s2twp", "t2s", "hex-encode", "utf8-encode"])
@pytest.mark.parametrize("threads", [1, 2, 3, 64, None])
def test_batch_equals_one_by_one(mode, threads):
    converter = tessaly.Converter(mode)
    expected = [None if t is None else converter.convert(t) for t in BATCH]
    assert converter.convert_batch(BATCH, threads=threads) == expected


def test_batch_of_many_chunks_on_threads_equals_one_thread():
    # Enough text for many chunks and helpers; mixed with bytes and None.
    items = [generated_text(seed, 40) for seed in range(3000)]
    items[5] = None
    items[7] = items[7].encode()
    converter = tessaly.Converter("s2tw")
    one = converter.convert_batch(items, threads=1)
    assert converter.convert_batch(items, threads=2) == one
    assert converter.convert_batch(iter(items), threads=4) == one
    assert one[5] is None
    assert one[7] == converter.convert(items[7])
    assert one[8] == converter.convert(items[8])


@pytest.mark.parametrize("texts,message", [
    (["a", 3], "item 1 is not str, bytes or None but int"),
    ([b"a", 2.5], "item 1 is not str, bytes or None but float"),
    (5, "takes a sequence"),
])
def test_batch_refuses_other_items(texts, message):
    with pytest.raises(TypeError, match=message):
        tessaly.Converter("s2t").convert_batch(texts)


def test_batch_refuses_lone_surrogate_and_bad_thread_counts():
    converter = tessaly.Converter("s2t")
    with pytest.raises(UnicodeEncodeError):
        converter.convert_batch(["ok", "\ud800"])
    with pytest.raises(UnicodeEncodeError):
        converter.convert("a\udfff")
    with pytest.raises(ValueError, match="threads must be at least 1"):
        converter.convert_batch(["a"], threads=0)


def test_batch_with_a_bytearray_and_a_late_surrogate():
    items = [generated_text(seed, 40) for seed in range(3000)]
    items[2500] = bytearray(items[2500].encode())
    converter = tessaly.Converter("s2t")
    one = converter.convert_batch(items, threads=1)
    assert converter.convert_batch(items, threads=2) == one
    assert one[2500] == converter.convert(bytes(items[2500]))
    # Many chunks ahead of the bad item: it is still the one named, on any thread count.
    items = [generated_text(seed, 40) for seed in range(3000)]
    items[2900] = "好\ud800"
    for threads in (1, 2):
        with pytest.raises(UnicodeEncodeError, match="position 1"):
            converter.convert_batch(items, threads=threads)


@pytest.mark.filterwarnings("ignore::tessaly.LossWarning")
def test_batch_returns_the_references_it_takes():
    items = [generated_text(seed, 40) + str(seed) for seed in range(3000)]
    bad = items[:2000] + ["\udc00"] + items[2000:]
    wrong = items[:2000] + [3] + items[2000:]
    before = [sys.getrefcount(item) for item in items]
    converter = tessaly.Converter("s2t")
    for texts, error in ((items, None), (bad, UnicodeEncodeError), (wrong, TypeError)):
        for threads in (1, 2):
            if error is None:
                converter.convert_batch(texts, threads=threads)
            else:
                with pytest.raises(error):
                    converter.convert_batch(texts, threads=threads)
    assert [sys.getrefcount(item) for item in items] == before


def test_batch_while_another_thread_changes_the_list():
    items = [generated_text(seed, 40) for seed in range(4000)]
    converter = tessaly.Converter("s2t")
    expected = converter.convert_batch(list(items), threads=1)
    shared = list(items)
    stop = threading.Event()

    def churn():
        while not stop.is_set():
            shared[:] = [text + "x" for text in items[:100]]
            shared[:] = items

    thread = threading.Thread(target=churn)
    thread.start()
    try:
        for _ in range(20):
            result = converter.convert_batch(shared, threads=2)
            assert result == expected or result == [converter.convert(t + "x") for t in items[:100]]
    finally:
        stop.set()
        thread.join()


def test_shared_converter_from_python_threads():
    converter = tessaly.Converter("s2twp")
    texts = [generated_text(seed, 30) for seed in range(200)]
    expected = [converter.convert(t) for t in texts]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        singles = list(pool.map(converter.convert, texts))
        batches = list(pool.map(lambda _: converter.convert_batch(texts, threads=2), range(4)))
    assert singles == expected
    assert all(batch == expected for batch in batches)


# ---------------------------------------------------------------------------------------------
# Pickling and the per-process cache.

PICKLED_OPTIONS = [
    dict(mode="s2t"),
    dict(mode="s2twp", phrases={"软件": "軟件X"}),
    dict(mode="hex-encode", encoding="gbk", separator="space", delete=["spaces", "tabs"]),
    dict(mode="hex-decode", delete="none", strict=True),
    dict(mode="random", seed=99),
    dict(mode="s2t", newlines="crlf", cache=False),
]


def _convert_in_child(args):
    converter, text = args
    return converter.convert(text)


@pytest.mark.filterwarnings("ignore::tessaly.LossWarning")
@pytest.mark.parametrize("options", PICKLED_OPTIONS, ids=lambda o: o["mode"])
def test_pickle_round_trip(options):
    options = dict(options)
    converter = tessaly.Converter(options.pop("mode"), **options)
    text = "软件 头发\n" if converter.mode != "hex-decode" else "4142"
    copy = pickle.loads(pickle.dumps(converter))
    assert copy == converter and hash(copy) == hash(converter)
    assert (copy.mode, copy.encoding, copy.strict) == (converter.mode, converter.encoding,
                                                       converter.strict)
    assert copy.convert(text) == converter.convert(text)
    # Unpickled twice in one process: the same converter, built once.
    assert pickle.loads(pickle.dumps(converter)) is copy


def test_pickled_converter_in_spawned_processes():
    converters = [tessaly.Converter("s2t"), tessaly.Converter("t2s", phrases={"頭髮": "毛发"})]
    texts = [generated_text(seed, 50) for seed in range(6)]
    jobs = [(c, t) for c in converters for t in texts]
    with multiprocessing.get_context("spawn").Pool(2) as pool:
        results = pool.map(_convert_in_child, jobs)
    assert results == [c.convert(t) for c, t in jobs]


def test_converter_is_immutable():
    converter = tessaly.Converter("s2t")
    with pytest.raises(AttributeError):
        converter.mode = "t2s"
    with pytest.raises(AttributeError):
        converter.extra = 1
    converter.__init__("t2s")
    assert converter.mode == "s2t" and converter.convert("头发") == "頭髮"


# A converter whose __init__ raised stays reachable from the traceback's frames; one made with
# __new__ alone never ran __init__. Every use of either must raise, not crash the interpreter.
_UNMADE = """
import sys, tessaly
try:
    tessaly.Converter("no-such-mode")
except ValueError as error:
    failed = error.__traceback__.tb_next.tb_frame.f_locals["self"]
unmade = tessaly.Converter.__new__(tessaly.Converter)
uses = {
    "repr": repr, "mode": lambda c: c.mode, "encoding": lambda c: c.encoding,
    "strict": lambda c: c.strict, "convert": lambda c: c.convert("x"),
    "convert_batch": lambda c: c.convert_batch(["x"]), "pickle": lambda c: c.__reduce__(),
    "hash": hash, "convert_file": lambda c: c.convert_file(sys.argv[1], sys.argv[1] + ".out"),
}
for converter in (failed, unmade):
    for name, use in uses.items():
        try:
            use(converter)
        except ValueError as error:
            assert "never made" in str(error), (name, error)
        else:
            raise AssertionError(name + " did not raise")
print("raised", 2 * len(uses))
"""


def test_unmade_converter_raises_instead_of_crashing(tmp_path):
    source = tmp_path / "in.txt"
    source.write_text("汉字")
    done = subprocess.run([sys.executable, "-c", _UNMADE, str(source)], capture_output=True,
                          text=True, timeout=60)
    assert done.returncode == 0, done.stderr
    assert done.stdout == "raised 18\n"
    assert not (tmp_path / "in.txt.out").exists()


# ---------------------------------------------------------------------------------------------
# Losses and faults.

# (mode, encoding, input, kind, count, first offset)
LOSSES = [
    ("hex-encode", "gbk", "a😀b😀", "unmappable", 2, 1),
    ("s2t", "gbk", "头😀发", "unmappable", 1, 3),
    ("hex-decode", "utf-8", "41ZZ42", "empty-hex-piece", 1, 2),
    ("hex-decode", "utf-8", "414", "odd-digit", 1, 2),
    ("utf8-decode", "utf-8", "41004243", "cut-at-zero", 1, 2),
    ("hex-decode", "gbk", "4181", "invalid-output", 1, 1),
    ("gbk-to-big5", "gbk", "中华", "unmappable", 1, 3),
]


@pytest.mark.parametrize("mode,encoding,text,kind,count,offset", LOSSES)
def test_loss_warns_with_its_figures(cli, mode, encoding, text, kind, count, offset):
    converter = tessaly.Converter(mode, encoding=encoding)
    with pytest.warns(tessaly.LossWarning) as caught:
        result = converter.convert(text)
    losses = [w.message for w in caught if isinstance(w.message, tessaly.LossWarning)]
    assert [(w.kind, w.count, w.first_offset, w.index) for w in losses] == [(kind, count, offset, None)]
    # The result is the one tessaly-cli writes, and the warning says what the CLI's says.
    done = subprocess.run([cli, "-m", mode, "-e", encoding], input=text.encode(),
                          capture_output=True, check=False)
    assert (done.returncode, done.stdout.decode()) == (0, result)
    assert str(losses[0]).split(" (")[0].split(";")[0] in done.stderr.decode()


@pytest.mark.parametrize("mode,encoding,text,kind,count,offset", LOSSES)
def test_loss_raises_under_strict(mode, encoding, text, kind, count, offset):
    converter = tessaly.Converter(mode, encoding=encoding, strict=True)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(tessaly.LossError) as raised:
            converter.convert(text)
    error = raised.value
    assert (error.kind, error.count, error.first_offset, error.index) == (kind, count, offset, None)
    assert isinstance(error, tessaly.TessalyError)
    copy = pickle.loads(pickle.dumps(error))
    assert (str(copy), copy.kind, copy.count) == (str(error), kind, count)


def test_batch_losses_add_up_and_name_the_first_item():
    converter = tessaly.Converter("hex-encode", encoding="gbk")
    with pytest.warns(tessaly.LossWarning) as caught:
        converter.convert_batch(["ok", None, "a😀", "😀😀"])
    (warning,) = [w.message for w in caught]
    assert (warning.kind, warning.count, warning.first_offset, warning.index) == (
        "unmappable", 3, 1, 2)
    assert "of item 2" in str(warning)
    with pytest.raises(tessaly.LossError) as raised:
        tessaly.Converter("hex-encode", encoding="gbk", strict=True).convert_batch(["a", "b😀"])
    assert (raised.value.index, raised.value.count) == (1, 1)


def test_clean_conversion_warns_nothing():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert tessaly.Converter("s2t", strict=True).convert("头发") == "頭髮"
        assert tessaly.Converter("hex-encode").convert_batch(["😀", None]) == ["F09F9880\n", None]


@pytest.fixture
def broken_data(tmp_path):
    """A data folder whose s2t configuration names a dictionary that is not there."""
    config = open("/usr/share/opencc/s2t.json", encoding="utf-8").read()
    (tmp_path / "s2t.json").write_text(config.replace("STPhrases.ocd2", "Missing.ocd2"))
    return tmp_path


def test_unreadable_data_is_a_value_error(broken_data):
    # Data the caller chose that cannot be loaded is refused when the converter is made, naming
    # the configuration and the file that is not there.
    with pytest.raises(ValueError) as raised:
        tessaly.Converter("s2t", data=broken_data, cache=False)
    assert str(broken_data / "s2t.json") in str(raised.value)
    assert "Missing.ocd2" in str(raised.value)


# ---------------------------------------------------------------------------------------------
# Options.

# (options, the error, words its message holds)
BAD_OPTIONS = [
    (dict(mode="nope"), ValueError, ["unknown mode 'nope'", "s2t", "hex-encode"]),
    (dict(mode="s2t", encoding="latin9"), ValueError, ["latin9", "gb18030", "shift_jis"]),
    (dict(mode="hex-encode", separator="tab"), ValueError, ["tab", "comma", "0x"]),
    (dict(mode="format", delete=["spaces", "letters"]), ValueError, ["letters", "newlines"]),
    (dict(mode="format", delete="letters"), ValueError, ["letters", "commas"]),
    (dict(mode="s2t", newlines="lf"), ValueError, ["lf", "crlf"]),
    (dict(mode="hex-encode", phrases={"a": "b"}), ValueError, ["simplified/traditional"]),
    (dict(mode="hex-encode", data="/tmp"), ValueError, ["simplified/traditional"]),
    (dict(mode="s2t", data="/nonexistent"), ValueError, ["s2t.json", "/nonexistent"]),
    (dict(mode="random", seed=-1), ValueError, ["4294967295"]),
    (dict(mode="s2t", phrases={"a\tb": "c"}), ValueError, ["tab or line break"]),
    (dict(mode="s2t", phrases={}), ValueError, ["empty"]),
    (dict(mode="s2t", phrases=42), TypeError, ["path or a mapping"]),
    (dict(mode=3), TypeError, ["mode must be a str"]),
]


@pytest.mark.parametrize("options,error,words", BAD_OPTIONS)
def test_bad_options_name_the_valid_ones(options, error, words):
    options = dict(options)
    with pytest.raises(error) as raised:
        tessaly.Converter(options.pop("mode"), **options)
    for word in words:
        assert word in str(raised.value)


def test_modes_and_encodings_are_the_libraries(cli):
    assert {"s2t", "t2s", "hex-encode", "hex-decode", "random", "format"} <= set(tessaly.modes())
    assert tessaly.encodings()[:2] == ["gbk", "gb18030"] and "utf-8" in tessaly.encodings()
    assert tessaly.mode_info("s2t")["takes_phrases"] is True
    assert tessaly.mode_info("hex-decode")["reads"] == "listing"
    # The default data, as tessaly-cli --version names it.
    assert tessaly.data_version.startswith("bundled:opencc-")
    version = subprocess.run([cli, "--version"], capture_output=True,
                             text=True, check=True).stdout
    assert f"OpenCC {tessaly.data_version.split('-', 1)[1]} data, bundled" in version
    # An alias resolves to the encoding's name.
    assert tessaly.Converter("s2t", encoding="cp936").encoding == "gbk"


# ---------------------------------------------------------------------------------------------
# User phrases.

PHRASES = {"头发": "头髮(用户)", "软件": "軟件"}


def test_phrases_from_mapping_and_file_equal_cli(run_cli, tmp_path):
    path = tmp_path / "phrases.txt"
    path.write_text("".join(f"{s}\t{t}\n" for s, t in PHRASES.items()), encoding="utf-8")
    text = "头发和软件，还有计算机。\n"
    from_mapping = tessaly.Converter("s2t", phrases=PHRASES).convert(text)
    from_file = tessaly.Converter("s2t", phrases=path).convert(text)
    status, expected = run_cli(text.encode(), "-m", "s2t", "-e", "utf-8", "--phrases", str(path))
    assert status == 0
    assert from_mapping == from_file == expected.decode()
    assert from_mapping.startswith("头髮(用户)和軟件") and "計算機" in from_mapping


def test_phrase_file_errors(tmp_path):
    with pytest.raises(FileNotFoundError):
        tessaly.Converter("s2t", phrases=tmp_path / "missing.txt")
    bad = tmp_path / "bad.txt"
    bad.write_text("头发\t頭髮\nno tab here\n", encoding="utf-8")
    with pytest.raises(ValueError) as raised:
        tessaly.Converter("s2t", phrases=bad)
    assert "bad.txt" in str(raised.value) and "2" in str(raised.value)


# ---------------------------------------------------------------------------------------------
# Files.

@pytest.mark.parametrize("lines", [True, False], ids=["lines", "one-line"])
def test_file_equals_cli_output_across_blocks(run_cli, tmp_path, lines):
    # Over two megabytes, so that phrases fall on the 1 MiB block edges, with and without line
    # breaks to cut at.
    text = generated_text(11, 400_000)
    if not lines:
        text = text.replace("\r", "").replace("\n", "")
    assert len(text.encode()) > 2 << 20
    src = tmp_path / "in.txt"
    src.write_text(text, encoding="utf-8")
    dst = tmp_path / "out.txt"
    tessaly.Converter("s2twp").convert_file(src, dst)
    status, expected = run_cli(text.encode(), "-m", "s2twp", "-e", "utf-8")
    assert status == 0 and dst.read_bytes() == expected
    assert set(os.listdir(tmp_path)) == {"in.txt", "out.txt"}


@pytest.mark.filterwarnings("ignore::tessaly.LossWarning")
@pytest.mark.parametrize("mode,encoding", [("hex-encode", "gbk"), ("s2t", "big5"), ("t2s", "utf-8")])
def test_raw_file_equals_convert_of_bytes(tmp_path, mode, encoding):
    data = generated_text(5, 5000).encode(encoding, errors="replace")
    src = tmp_path / "in.bin"
    src.write_bytes(data)
    converter = tessaly.Converter(mode, encoding=encoding)
    converter.convert_file(str(src), str(tmp_path / "out.bin"), raw=True)
    assert (tmp_path / "out.bin").read_bytes() == converter.convert(data)


def test_replaced_file_keeps_its_permissions(tmp_path):
    src = tmp_path / "in.txt"
    src.write_text("头发", encoding="utf-8")
    dst = tmp_path / "out.txt"
    dst.write_text("old")
    os.chmod(dst, 0o640)
    tessaly.Converter("s2t").convert_file(src, dst)
    assert dst.read_text(encoding="utf-8") == "頭髮"
    assert stat.S_IMODE(os.stat(dst).st_mode) == 0o640


# Each leaves the old destination as it was and nothing else behind.
FAILING_FILES = [
    ("s2t", {}, b"ok \xff\xfe broken", tessaly.ConversionError, "not valid UTF-8"),
    ("hex-encode", {"encoding": "gbk", "strict": True}, "a😀".encode(), tessaly.LossError, "GBK"),
    ("s2t", {}, None, FileNotFoundError, "missing"),
]


@pytest.mark.parametrize("mode,options,data,error,words", FAILING_FILES)
def test_failed_file_leaves_destination(tmp_path, mode, options, data, error, words):
    src = tmp_path / ("in.txt" if data is not None else "missing.txt")
    if data is not None:
        src.write_bytes(data)
    dst = tmp_path / "out.txt"
    dst.write_text("old result")
    before = set(os.listdir(tmp_path))
    with pytest.raises(error) as raised:
        tessaly.Converter(mode, **options).convert_file(src, dst)
    assert words in str(raised.value)
    assert dst.read_text() == "old result"
    assert set(os.listdir(tmp_path)) == before


def test_file_into_missing_folder_raises_os_error(tmp_path):
    src = tmp_path / "in.txt"
    src.write_text("头发", encoding="utf-8")
    with pytest.raises(FileNotFoundError):
        tessaly.Converter("s2t").convert_file(src, tmp_path / "no" / "out.txt")


# ---------------------------------------------------------------------------------------------
# Type stubs.

def _stub_names(stub, within=None):
    import ast

    tree = ast.parse((Path(tessaly.__file__).parent / stub).read_text())
    body = tree.body
    if within:
        body = next(node.body for node in body if isinstance(node, ast.ClassDef) and node.name == within)
    names = set()
    for node in body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            names.add(node.name)
        elif isinstance(node, ast.AnnAssign):
            names.add(node.target.id)
        elif isinstance(node, ast.ImportFrom):
            names.update(alias.asname for alias in node.names if alias.asname)
    return names


def test_stubs_declare_what_the_package_has():
    assert (Path(tessaly.__file__).parent / "py.typed").exists()
    assert set(tessaly.__all__) <= _stub_names("__init__.pyi")
    native = {name for name in dir(tessaly._tessaly._Converter) if not name.startswith("__")}
    assert native == _stub_names("_tessaly.pyi", "_Converter") - {"__init__"}
    for name in _stub_names("__init__.pyi") | _stub_names("_tessaly.pyi"):
        if not name.startswith("_"):
            assert hasattr(tessaly, name) or hasattr(tessaly._tessaly, name), name
