# The benchmark's own targets.
.PHONY: bench-test perf-bench

# The benchmark's tests natively, the threaded ones under ThreadSanitizer too.
bench-test:
	ORVANE_TESTS='^test_(bench|bench_run|cli_bench_command)\.' bash scripts/test.sh native tsan

# The program's cost per command on a virtual drive without timing (docs/bench-overhead.md).
PERF_REPETITIONS ?= 3
perf-bench:
	bash scripts/build.sh native perf_bench_overhead orvane-cli
	./build/native/perf/perf_bench_overhead --benchmark_repetitions=$(PERF_REPETITIONS) \
	  --benchmark_report_aggregates_only=true $(PERF_ARGS) 2>&1 | grep -E '^(Benchmark|-+$$)|_median'
	./build/native/src/app/cli/orvane-cli --virtual-only --virtual E=dvdram bench E: --yes --json | head -4
