# MiniSetup: two commands on a fresh Debian 12 machine (as root; the one
# prerequisite is make itself: apt-get update && apt-get install -y make).
#   make demo  - build everything and run a whole setup under Wine against local servers
#   make test  - build everything and run every test (non-zero exit on any failure)
#   make faults [SEED=n] [RUNS=n] - whole silent setups under injected faults, one table row per fault
#   make clean - remove everything the build made except the dependency prefix
BUILD     ?= build
JOBS      ?= $(shell nproc)
TOOLCHAIN := cmake/toolchain-mingw32.cmake

.PHONY: all bootstrap configure build test demo bench faults gallery gallery-texts pages release clean distclean

all: build

bootstrap:
	scripts/bootstrap

configure: bootstrap
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	scripts/run-tests $(BUILD)

demo: build
	python3 scripts/demo.py --build $(BUILD)

bench: build
	scripts/bench-gnet $(BUILD)

# One stamped, Authenticode-signed copy of the built program per channel of
# $(CHANNELS), and their SHA-256 list, in $(BUILD)/release. A test certificate
# is made on first use in $(BUILD)/release-signing unless SIGN_CERT and
# SIGN_KEY (with SIGN_PASS, SIGN_CAFILE if needed) name a real one.
CHANNELS ?= release/channels.ini
release: build
	scripts/release --program $(BUILD)/bin/MiniSetup.exe --minitool $(BUILD)/host/bin/minitool \
	    --channels $(CHANNELS) --out $(BUILD)/release --signing-dir $(BUILD)/release-signing

# Not part of test: it takes up to half an hour (RUNS per row, default 30).
faults: build
	python3 scripts/faults.py --build $(BUILD) $(if $(SEED),--seed $(SEED)) $(if $(RUNS),--runs $(RUNS))

# Every image and control state drawn through the toolkit ($(BUILD)/gallery/toolkit.png)
# and the start-page texts of every language ($(BUILD)/gallery/texts.png).
gallery: gallery-texts
	@B=$$(scripts/runnable-build $(BUILD) lessdui_gallery) && mkdir -p $(BUILD)/gallery && \
	$$B/wine-run $$B/bin/lessdui_gallery.exe $(BUILD)/gallery/toolkit.png && echo "written: $(BUILD)/gallery/toolkit.png"

# The start-page texts of every language, drawn under Wine: $(BUILD)/gallery/texts.png
gallery-texts: configure
	@B=$$(scripts/runnable-build $(BUILD) texts_gallery) && mkdir -p $(BUILD)/gallery && \
	$$B/wine-run $$B/bin/texts_gallery.exe $(BUILD)/gallery/texts.png && echo "written: $(BUILD)/gallery/texts.png"

# Every page of the setup window drawn through its own paint code: $(BUILD)/pages/*.png
pages: configure
	@B=$$(scripts/runnable-build $(BUILD) frame_pages) && mkdir -p $(BUILD)/pages && \
	$$B/wine-run $$B/bin/frame_pages.exe $(BUILD)/pages && echo "written: $(BUILD)/pages/"

# The cross-built dependencies (build/deps) take minutes to make and are kept.
clean:
	@if [ -x $(BUILD)/wine-run ]; then $(BUILD)/wine-run --stop-display >/dev/null; fi
	@if [ -d $(BUILD) ]; then find $(BUILD) -mindepth 1 -maxdepth 1 ! -name 'deps*' -exec rm -rf {} +; fi

distclean: clean
	rm -rf $(BUILD)
