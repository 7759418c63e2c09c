# The image subsystem's own targets.
.PHONY: perf-image

# Speed and ratio of the LH5 codec next to lhasa and jlha (docs/lh5-performance.md). Medians of
# PERF_REPETITIONS runs; not part of `make test`.
PERF_REPETITIONS ?= 3
perf-image:
	bash scripts/build.sh native perf_lh5
	./build/native/perf/perf_lh5 --benchmark_repetitions=$(PERF_REPETITIONS) \
	  --benchmark_report_aggregates_only=true $(PERF_ARGS) 2>&1 | grep -E '^(Benchmark|-+$$)|_median'
