// Hash throughput for qxv_bench.
#pragma once

//   qxv_bench hashes     MB/s of every hash of the toolkit over 16 KiB buffers (SHA-1 first)
int bench_hashes();
