"""tessaly.dask on a local cluster of two worker processes, held against tessaly-cli."""

import subprocess

import pytest

import tessaly
from conftest import generated_text

dask = pytest.importorskip("dask")
db = pytest.importorskip("dask.bag")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")
pandas = pytest.importorskip("pandas")

from tessaly.dask import convert_bag, convert_series, convert_text_files  # noqa: E402


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  dashboard_address=None, host="127.0.0.1") as cluster:
        with distributed.Client(cluster) as client:
            yield client


@pytest.mark.parametrize("mode", ["s2t", "t2s", "s2twp"])
def test_bag_of_files_equals_cli(client, cli, tmp_path, mode):
    paths = []
    for n in range(4):
        path = tmp_path / f"in-{n}.txt"
        # read_text reads with universal newlines: a CR LF would reach the workers as LF.
        path.write_bytes(generated_text(100 + n, 3000).replace("\r", "").encode())
        paths.append(path)
    bag = convert_bag(db.read_text([str(p) for p in paths]), mode)
    partitions = client.compute(bag.to_delayed(), sync=True)
    assert len(partitions) == len(paths)
    for path, lines in zip(paths, partitions):
        expected = subprocess.run([cli, "-m", mode, "-e", "utf-8", str(path)],
                                  capture_output=True, check=True).stdout.decode()
        assert "".join(lines) == expected
    # The tasks ran on the workers, each of which rebuilt the converter from its options.
    assert len(client.run(lambda: tessaly.__name__)) == 2


def test_series_keeps_index_and_missing_values(client):
    texts = [generated_text(seed, 20) for seed in range(40)]
    texts[3] = None
    frame = pandas.DataFrame({"text": texts, "n": range(40)}, index=range(100, 140))
    frame.loc[107, "text"] = float("nan")
    converter = tessaly.Converter("s2tw", phrases={"软件": "軟體X"})
    expected = [None if not isinstance(t, str) else converter.convert(t) for t in frame["text"]]
    ddf = dd.from_pandas(frame, npartitions=3)
    result = client.compute(convert_series(ddf["text"], converter), sync=True)
    assert list(result.index) == list(frame.index)
    assert result.tolist() == expected
    local = convert_series(frame["text"], "s2tw", phrases={"软件": "軟體X"})
    assert local.tolist() == expected and local.name == "text"


@pytest.mark.parametrize("mode,blocksize", [("s2t", 1000), ("s2twp", 3000), ("t2s", "64MiB")])
def test_text_files_in_blocks_equal_cli(client, cli, tmp_path, mode, blocksize):
    paths = []
    for n in range(3):
        path = tmp_path / f"in-{n}.txt"
        # Line breaks of both kinds stay as they are; a small block cuts a file many times.
        path.write_bytes(generated_text(200 + n, 2000).encode())
        paths.append(str(path))
    blocks = convert_text_files(paths, mode, blocksize=blocksize)
    got = client.compute(blocks.to_delayed(), sync=True)
    texts = ["".join(b for part in got for b in part)]
    expected = "".join(
        subprocess.run([cli, "-m", mode, "-e", "utf-8", p], capture_output=True,
                       check=True).stdout.decode() for p in paths)
    assert texts == [expected]
    if blocksize == 1000:
        assert blocks.npartitions > 3 * 5


def test_text_file_that_is_not_utf8_raises_in_its_task(client, tmp_path):
    path = tmp_path / "bad.txt"
    path.write_bytes("头发\n".encode() * 100 + b"\xff\n" + "头发\n".encode())
    with pytest.raises(UnicodeDecodeError) as raised:
        client.compute(convert_text_files([str(path)], "s2t").to_delayed(), sync=True)
    assert raised.value.start == 700
