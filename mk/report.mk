# The drive information report.
.PHONY: report-test report-golden

# The report tests of the native build, with the console's `info` on every preset.
report-test:
	ORVANE_TESTS='report|test_app_cli' bash scripts/test.sh native

# Writes the golden texts of `orvane-cli info` afresh from the native build; read the difference
# (git diff tests/app/cli/golden) before committing it.
report-golden:
	bash scripts/build.sh native test_app_cli
	cd build/native/tests/app/cli && ORVANE_UPDATE_GOLDEN=1 ORVANE_SOURCE_DIR=$(CURDIR) \
	  ./test_app_cli --gtest_filter=InfoCommand.WholeReportOfEveryPreset || true
