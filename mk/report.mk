# The drive information report.
.PHONY: report-test report-golden

# The report tests of the native build.
report-test:
	cmake --build --preset native -j2 --target test_report test_report_drive test_report_cli
	ctest --preset native -R report

# Writes the golden texts of `orvane-cli info` afresh from the native build; read the difference
# (git diff tests/report/golden) before committing it.
report-golden:
	cmake --build --preset native -j2 --target test_report_cli
	cd build/native/tests/report && ORVANE_UPDATE_GOLDEN=1 ORVANE_SOURCE_DIR=$(CURDIR) \
	  ./test_report_cli --gtest_filter=InfoCommand.WholeReportOfEveryPreset || true
