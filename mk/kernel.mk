# Real kernels (scripts/qemu): the Linux port against QEMU's emulated drives under the Debian
# kernel, beside sg3_utils; the win32 build's whole test list run as 32-bit in a guest kernel;
# and the win64 and win32 programs under Wine on QEMU's drives beside the Linux build. Each
# stage of scripts/test.sh builds what it needs first.
.PHONY: kernel-test kernel-drives-test kernel-win32-test kernel-wine-test
kernel-test:
	bash scripts/test.sh kernel-drives kernel-win32 kernel-wine

kernel-drives-test kernel-win32-test kernel-wine-test:
	bash scripts/test.sh $(@:-test=)
