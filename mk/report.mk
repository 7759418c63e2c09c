# The drive information report.
.PHONY: report-test report-golden

# The report tests of the native build, with the console's `info` on every preset.
report-test:
	cmake --build --preset native -j2 --target test_report test_report_drive test_app_cli
	ctest --preset native -R 'report|test_app_cli'

# Writes the golden texts of `orvane-cli info` afresh from the native build; read the difference
# (git diff tests/app/cli/golden) before committing it.
report-golden:
	cmake --build --preset native -j2 --target test_app_cli
	cd build/native/tests/app/cli && ORVANE_UPDATE_GOLDEN=1 ORVANE_SOURCE_DIR=$(CURDIR) \
	  ./test_app_cli --gtest_filter=InfoCommand.WholeReportOfEveryPreset || true
