#!/usr/bin/env python3
"""Prints the one table of run_all.sh from the files its stages left behind:
the Google Benchmark JSON of text_bench, progress_bench and http_bench, and
download.txt ("tool nanoseconds peak_rss_kib" per run).

Usage: bench_table.py WORK_DIR REQUEST_MB DOWNLOAD_MIB
"""
import json
import os
import statistics
import sys

MEGABYTE = 1 << 20
PEERS = ("curl", "wget")


def medians(path):
    """Run name without its run options (min_time, iterations) -> median entry."""
    with open(path) as file:
        report = json.load(file)
    result = {}
    for entry in report["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            name = "/".join(part for part in entry["run_name"].split("/") if ":" not in part)
            result[name] = entry
    return result


def peer_ratios(ours, peers):
    return " / ".join("%.2f" % (ours / theirs) for theirs in peers)


def text_rows(work):
    runs = medians(os.path.join(work, "text_bench.json"))
    operations = dict.fromkeys(name.split("/")[0] for name in runs)
    for operation in operations:
        small = runs[operation + "/1"]["ms_per_MB"]
        large = runs[operation + "/10"]["ms_per_MB"]
        yield (operation + ", ms/MB at 10 MB", "%.3f" % large, "", "", "%.2f (10 MB / 1 MB)" % (large / small))


def progress_rows(work):
    (entry,) = medians(os.path.join(work, "progress_bench.json")).values()
    yield ("progress row per 10240-byte block, ns", "%.0f" % entry["real_time"], "", "", "")


def request_rows(work, request_mb):
    runs = medians(os.path.join(work, "http_bench.json"))
    ours = runs["HttpRequestBody/%s" % request_mb]
    peers = [runs["CommandLine/%s/%s" % (peer, request_mb)]["MB_per_s"] for peer in PEERS]
    yield ("httpRequest %s MB body, MB/s" % request_mb, "%.0f" % ours["MB_per_s"],
           *("%.0f" % speed for speed in peers), peer_ratios(ours["MB_per_s"], peers))
    yield ("httpRequest peak memory per body MB", "%.2f" % ours["peak_MB_per_body_MB"], "", "", "")


def download_rows(work, download_mib):
    seconds, rss_kib = {}, {}
    with open(os.path.join(work, "download.txt")) as file:
        for line in file:
            tool, nanoseconds, rss = line.split()
            seconds.setdefault(tool, []).append(int(nanoseconds) / 1e9)
            rss_kib.setdefault(tool, []).append(int(rss))
    tools = ("downloadFile",) + PEERS
    speeds = [download_mib / statistics.median(seconds[tool]) for tool in tools]
    peaks = [statistics.median(rss_kib[tool]) / 1024 for tool in tools]
    yield ("downloadFile %s MiB to disk, MB/s" % download_mib, *("%.0f" % speed for speed in speeds),
           peer_ratios(speeds[0], speeds[1:]))
    yield ("downloadFile peak RSS, MiB", *("%.1f" % peak for peak in peaks), peer_ratios(peaks[0], peaks[1:]))


def print_table(rows):
    header = ("Case", "Ours", "curl", "wget", "Ratio")
    widths = [max(len(row[column]) for row in [header] + rows) for column in range(len(header))]
    for row in [header, tuple("-" * width for width in widths)] + rows:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())
    print("MB = 2^20 bytes. Ratio: ours / curl and ours / wget (above 1 is faster for MB/s, "
          "bigger for memory); for the text operations, ms/MB at 10 MB over 1 MB (1.00 = linear time).")


def main():
    work, request_mb, download_mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
    rows = [*text_rows(work), *progress_rows(work), *request_rows(work, request_mb),
            *download_rows(work, download_mib)]
    print_table(rows)


if __name__ == "__main__":
    main()
