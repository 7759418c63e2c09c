# Release files: `make dist` the Windows zips (win32 and win64), `make deb` the Debian package of
# the console front end; both into dist/ with a .sha256 beside each file.
.PHONY: dist deb

dist: setup
	bash scripts/dist.sh

deb: native
	bash scripts/deb.sh
