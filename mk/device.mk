# Device access and the virtual drive: their tests natively, under ASan+UBSan and under Wine,
# and the 32-bit build whose static_asserts hold the pass-through layout.
.PHONY: device-test
device-test:
	cmake --preset native >/dev/null && cmake --build --preset native -j2 --target test_scsi test_device test_vdrive
	build/native/tests/scsi/test_scsi && build/native/tests/device/test_device && build/native/tests/vdrive/test_vdrive
	cmake --preset asan >/dev/null && cmake --build --preset asan -j2 --target test_scsi test_device test_vdrive
	build/asan/tests/scsi/test_scsi && build/asan/tests/device/test_device && build/asan/tests/vdrive/test_vdrive
	cmake --preset win64 >/dev/null && cmake --build --preset win64 -j2 --target test_scsi test_device test_vdrive
	ctest --preset win64 -R '^test_(scsi|device|vdrive)$$'
	cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2 --target orvane_device test_scsi test_device test_vdrive
