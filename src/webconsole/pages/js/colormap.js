// The heat-map's colour scale: 256 colours from dark blue through green and
// yellow to white, so that a quiet sensor is dark and a touch glows.

const stops = [
  [0, [8, 10, 40]],
  [48, [24, 44, 120]],
  [96, [18, 130, 140]],
  [144, [70, 190, 80]],
  [192, [240, 210, 40]],
  [232, [250, 110, 30]],
  [255, [255, 250, 240]],
];

function build() {
  const table = new Uint8ClampedArray(256 * 4);
  for (let v = 0; v < 256; ++v) {
    let i = 0;
    while (i < stops.length - 2 && v > stops[i + 1][0]) ++i;
    const [v0, c0] = stops[i];
    const [v1, c1] = stops[i + 1];
    const t = v1 === v0 ? 0 : (v - v0) / (v1 - v0);
    for (let k = 0; k < 3; ++k) table[v * 4 + k] = Math.round(c0[k] + (c1[k] - c0[k]) * t);
    table[v * 4 + 3] = 255;
  }
  return table;
}

export const colours = build();

// Maps the grey values of an image (red channel) onto the scale, in place.
export function colourise(imageData) {
  const pixels = imageData.data;
  for (let i = 0; i < pixels.length; i += 4) {
    const v = pixels[i] * 4;
    pixels[i] = colours[v];
    pixels[i + 1] = colours[v + 1];
    pixels[i + 2] = colours[v + 2];
    pixels[i + 3] = 255;
  }
  return imageData;
}

// The scale as a horizontal strip, for the legend.
export function legend(width = 256, height = 10) {
  const canvas = document.createElement('canvas');
  canvas.width = 256;
  canvas.height = 1;
  canvas.className = 'legend';
  canvas.style.width = `${width}px`;
  canvas.style.height = `${height}px`;
  const context = canvas.getContext('2d');
  const image = context.createImageData(256, 1);
  image.data.set(colours);
  context.putImageData(image, 0, 0);
  return canvas;
}
