# Real kernels (scripts/qemu): the Linux port against QEMU's emulated drives under the Debian
# kernel, beside sg3_utils; and the win32 build's whole test list run as 32-bit in a guest
# kernel. Each builds what it needs, then boots its guest under the build lock.
.PHONY: kernel-test kernel-drives-test kernel-win32-test
kernel-test: kernel-drives-test kernel-win32-test

kernel-drives-test: setup
	cmake --preset native >/dev/null && cmake --build --preset native -j2 --target orvane-cli
	bash scripts/qemu/drives-test.sh build/native/src/app/cli/orvane-cli

kernel-win32-test: setup
	cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2
	bash scripts/qemu/win32-test.sh
