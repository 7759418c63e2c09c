# Device access and the virtual drive: their tests natively, under ASan+UBSan and under Wine,
# and the 32-bit build whose static_asserts hold the pass-through layout.
.PHONY: device-test
device-test:
	ORVANE_TESTS='^test_(scsi|device|vdrive)(\.|$$)' bash scripts/test.sh native asan win64 win32
