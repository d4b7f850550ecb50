"""What the tests of the Python module share: the CLI to hold it against, and generated text."""

import os
import random
import subprocess

import pytest

# Simplified and traditional phrases the standards convert, Latin text, punctuation, line
# breaks, and characters GBK or BIG5 lack, so that every route of a mode is taken.
_PIECES = [
    "头发", "干燥", "软件", "网络", "汉字", "计算机", "发展", "里面", "后来", "台湾",
    "頭髮", "乾燥", "軟體", "網路", "漢字", "電腦", "發展", "裡面", "後來", "臺灣",
    "中华人民共和国", "香港", "日本語", "国語", "着", "了", "的", "一只", "云彩", "面条",
    "hello", "Tessaly 1.2", "x=1, y=2.", "  ", "\t", ", ", ". ", "\n", "\r\n", "😀", "€", "é",
]


def generated_text(seed, pieces=200):
    """A deterministic text of `pieces` pieces drawn from the list above."""
    rng = random.Random(seed)
    return "".join(rng.choice(_PIECES) for _ in range(pieces))


@pytest.fixture(scope="session")
def cli():
    """The tessaly-cli program CTest passes in TESSALY_CLI."""
    path = os.environ.get("TESSALY_CLI")
    if not path or not os.access(path, os.X_OK):
        pytest.skip("TESSALY_CLI does not name the tessaly-cli program")
    return path


@pytest.fixture(scope="session")
def run_cli(cli, tmp_path_factory):
    """Runs tessaly-cli on `data` (bytes) written to a file, returning (status, stdout bytes)."""
    folder = tmp_path_factory.mktemp("cli")
    count = [0]

    def run(data, *args):
        count[0] += 1
        path = folder / f"input-{count[0]}"
        path.write_bytes(data)
        done = subprocess.run([cli, *args, str(path)], capture_output=True, check=False)
        return done.returncode, done.stdout

    return run
