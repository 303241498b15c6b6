// The licences of the code that the module and the page carry besides vantor's own,
// compiled in by emscripten, in the words of the emscripten package that built them:
//   node licence_texts.mjs OUTDIR
// writes into OUTDIR
//   emscripten.txt     emscripten's runtime: the JavaScript that starts the module, and
//                      its C library glue and malloc (dlmalloc) in the WebAssembly
//   LLVM-runtime.txt   libc++, libc++abi and compiler-rt's builtins
//   musl.txt           musl, the C library
import { mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const copyrightPath = "/usr/share/doc/emscripten/copyright";
const muslPath = "/usr/share/emscripten/system/lib/libc/musl/COPYRIGHT";
const apachePath = "/usr/share/common-licenses/Apache-2.0";

function read(path) {
  try {
    return readFileSync(path, "utf8");
  } catch {
    console.error(`licence_texts: ${path} is missing, whose licence text the page must carry`);
    process.exit(1);
  }
}

// Debian's copyright file: paragraphs apart by blank lines; continuation lines begin
// with a space, and a lone " ." is an empty line.
const paragraphs = read(copyrightPath).split(/\n\s*\n/);

function paragraph(firstLines) {
  const found = paragraphs.find((text) => text.startsWith(firstLines));
  if (found === undefined) {
    console.error(`licence_texts: ${copyrightPath} has no paragraph beginning ${JSON.stringify(firstLines)}`);
    process.exit(1);
  }
  return found.split("\n").map((line) => (line === " ." ? "" : line.replace(/^ /, ""))).join("\n");
}

const rule = "-".repeat(78);
const texts = {
  "emscripten.txt": [
    "The module's start-up code and its C library glue and memory allocator come from\n" +
      "emscripten, as Debian packages it. From Debian's copyright file of emscripten:",
    paragraph("Files:\n *\nCopyright:"),
    paragraph("Files:\n system/lib/dlmalloc.c"),
    rule,
    paragraph("License: Expat\n Permission"),
    rule,
    "The University of Illinois/NCSA Open Source License:",
    paragraph("License: NCSA~Mozilla"),
  ],
  "LLVM-runtime.txt": [
    "The module holds code of the LLVM project's runtime libraries, libc++ and libc++abi\n" +
      "(the C++ standard library) and compiler-rt's builtins, as emscripten carries them.\n" +
      "From Debian's copyright file of emscripten:",
    paragraph("Files:\n system/lib/libcxx/*"),
    paragraph("Files:\n system/lib/libcxxabi/*"),
    paragraph("Files:\n system/lib/compiler-rt/*"),
    rule,
    "The Apache License, version 2.0:",
    read(apachePath),
  ],
  "musl.txt": [
    "The module holds code of musl, the C library emscripten builds on. musl's own\n" +
      "copyright file:",
    rule,
    read(muslPath),
  ],
};

const outputDir = process.argv[2];
mkdirSync(outputDir, { recursive: true });
for (const [name, parts] of Object.entries(texts)) {
  writeFileSync(join(outputDir, name), parts.map((part) => part.trimEnd()).join("\n\n") + "\n");
}
