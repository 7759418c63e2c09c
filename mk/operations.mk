# The disc operations' own targets.
.PHONY: perf-write

# The image write onto a virtual drive next to dd and to the LH5 codec
# (docs/image-write-performance.md). Not part of `make test`.
PERF_WRITE_ARGS ?= --runs 5 --mib 256
perf-write:
	bash scripts/build.sh native perf_image_write
	./build/native/perf/perf_image_write $(PERF_WRITE_ARGS)
