# Orvane's front door. `make test` is what CI runs.
.PHONY: all setup test native asan tsan fuzz win64 win32 clean

all: native

-include mk/*.mk

setup:
	bash scripts/setup.sh

test:
	bash scripts/test.sh

native asan tsan fuzz win64 win32: setup
	cmake --preset $@
	cmake --build --preset $@ -j $$(nproc)

clean:
	rm -rf build
