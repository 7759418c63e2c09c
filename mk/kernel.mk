# Real kernels (scripts/qemu): the Linux port against QEMU's emulated drives under the Debian
# kernel, beside sg3_utils; the win32 build's whole test list run as 32-bit in a guest kernel;
# and the win64 and win32 programs under Wine on QEMU's drives beside the Linux build. Each
# builds what it needs, then boots its guest under the build lock.
.PHONY: kernel-test kernel-drives-test kernel-win32-test kernel-wine-test
kernel-test: kernel-drives-test kernel-win32-test kernel-wine-test

kernel-drives-test: setup
	cmake --preset native >/dev/null && cmake --build --preset native -j2 --target orvane-cli
	bash scripts/qemu/drives-test.sh build/native/src/app/cli/orvane-cli

kernel-win32-test: setup
	cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2
	bash scripts/qemu/win32-test.sh

kernel-wine-test: setup
	cmake --preset native >/dev/null && cmake --build --preset native -j2 --target orvane-cli
	for p in win64 win32; do cmake --preset $$p >/dev/null && cmake --build --preset $$p -j2 --target orvane-cli orvane || exit 1; done
	bash scripts/qemu/wine-drives-test.sh
