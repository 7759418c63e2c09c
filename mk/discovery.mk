# The newcomer's tour: builds orvane-cli and runs it on virtual drives in build/demo.
.PHONY: demo
demo:
	bash scripts/demo.sh
