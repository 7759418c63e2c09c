# Orvane's front door. `make test` is what CI runs: every stage of scripts/test.sh, ending with
# its table; `scripts/test.sh STAGE...` runs some of them.
.PHONY: all setup test native asan tsan fuzz win64 win32 clean

all: native

-include mk/*.mk

setup:
	bash scripts/setup.sh

test:
	bash scripts/test.sh

native asan tsan fuzz win64 win32: setup
	bash scripts/build.sh $@

clean:
	rm -rf build
