#!/usr/bin/env python3
"""Prints the one table of run_all.sh from the files its stages left behind:
the Google Benchmark JSON of text_bench, progress_bench and http_bench,
download.txt ("mib tool nanoseconds peak_rss_kib" per run), site.txt
("median_ms first_part_ms" per run) and window.txt
("longest_stall_ms window_thread_cpu_percent" per run).

Usage: bench_table.py WORK_DIR REQUEST_MB SMALL_MIB LARGE_MIB
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


def download_rows(work, small_mib, large_mib):
    seconds, rss_kib = {}, {}
    with open(os.path.join(work, "download.txt")) as file:
        for line in file:
            mib, tool, nanoseconds, rss = line.split()
            seconds.setdefault((int(mib), tool), []).append(int(nanoseconds) / 1e9)
            rss_kib.setdefault((int(mib), tool), []).append(int(rss))
    peer_speeds = [large_mib / statistics.median(seconds[large_mib, peer]) for peer in PEERS]
    for tool, case in (("downloadFile", "downloadFile"), ("cli", "command line, parse + download")):
        runs = [large_mib / s for s in seconds[large_mib, tool]]
        speed = statistics.median(runs)
        yield ("%s %s MiB to disk, MB/s (runs %.0f-%.0f)" % (case, large_mib, min(runs), max(runs)),
               "%.0f" % speed, *("%.0f" % peer for peer in peer_speeds), peer_ratios(speed, peer_speeds))
    spreads = ["%.0f-%.0f" % (min(large_mib / s for s in seconds[large_mib, peer]),
                              max(large_mib / s for s in seconds[large_mib, peer])) for peer in PEERS]
    yield ("peers' runs at %s MiB, MB/s" % large_mib, "", *spreads, "")
    for tool, case in (("downloadFile", "downloadFile"), ("cli", "command line")):
        for mib in (small_mib, large_mib):
            peaks = [statistics.median(rss_kib[mib, name]) / 1024 for name in (tool,) + PEERS]
            yield ("%s peak RSS at %s MiB, MiB" % (case, mib), *("%.1f" % peak for peak in peaks),
                   peer_ratios(peaks[0], peaks[1:]))


def site_rows(work):
    with open(os.path.join(work, "site.txt")) as file:
        runs = [tuple(map(float, line.split())) for line in file]
    yield ("built-in resolver, 开始解析 to first byte, ms per part (median)",
           "%.1f" % statistics.median(median for median, _ in runs), "", "", "")
    yield ("built-in resolver, the same for a batch's first part, ms",
           "%.1f" % statistics.median(first for _, first in runs), "", "", "")


def window_rows(work, large_mib):
    with open(os.path.join(work, "window.txt")) as file:
        runs = [tuple(map(float, line.split())) for line in file]
    yield ("window, %s MiB download: longest timer stall, ms" % large_mib,
           "%.1f" % max(stall for stall, _ in runs), "", "", "")
    yield ("window, %s MiB download: its thread's CPU, %%" % large_mib,
           "%.1f" % statistics.median(cpu for _, cpu in runs), "", "", "")


def print_table(rows):
    header = ("Case", "Ours", "curl", "wget", "Ratio")
    widths = [max(len(row[column]) for row in [header] + rows) for column in range(len(header))]
    for row in [header, tuple("-" * width for width in widths)] + rows:
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())
    print("MB = 2^20 bytes. Ratio: ours / curl and ours / wget (above 1 is faster for MB/s, "
          "bigger for memory); for the text operations, ms/MB at 10 MB over 1 MB (1.00 = linear time).")
    print("Window: a 10 ms timer on the window's thread; the stall is the largest gap between two of its "
          "timeouts minus the 10 ms, worst of the runs (target: at most 50). CPU: that thread's CPU time "
          "over the wall time from the click to the end, median of the runs.")


def main():
    work, request_mb = sys.argv[1], sys.argv[2]
    small_mib, large_mib = int(sys.argv[3]), int(sys.argv[4])
    rows = [*text_rows(work), *progress_rows(work), *request_rows(work, request_mb),
            *site_rows(work), *download_rows(work, small_mib, large_mib), *window_rows(work, large_mib)]
    print_table(rows)


if __name__ == "__main__":
    main()
