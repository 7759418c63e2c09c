# The Windows program under Wine: `make gui` opens it on the display with virtual drives;
# `make gui-screenshots` saves screenshots of it from a virtual display into build/win64/screenshots.
.PHONY: gui gui-build gui-screenshots

gui-build: setup
	bash scripts/build.sh win64 orvane

gui: gui-build
	bash scripts/gui-run.sh

gui-screenshots: gui-build
	bash scripts/gui-screenshots.sh
