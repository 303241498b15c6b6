// Puts the WebAssembly binary into the module, base64-encoded, where the API's
// placeholder stands: node inline_wasm.mjs vantor.mjs vantor.wasm
import { readFileSync, writeFileSync } from "node:fs";

const [modulePath, wasmPath] = process.argv.slice(2);
const source = readFileSync(modulePath, "utf8");
const placeholder = '"@VANTOR_WASM_BASE64@"';
if (source.split(placeholder).length !== 2) {
  console.error(`inline_wasm: ${modulePath} must hold the placeholder exactly once`);
  process.exit(1);
}
const encoded = JSON.stringify(readFileSync(wasmPath).toString("base64"));
writeFileSync(modulePath, source.replace(placeholder, () => encoded));
