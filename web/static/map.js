// The map under the radar: the gateway's picture of the server's map (its overview image or a floor
// plan) placed by the state's transform, and the view the viewer steers: zoom, pan, follow a player,
// names beside the dots.
"use strict";

const MapLayer = (() => {
  const view = { zoom: 1, panX: 0, panY: 0, follow: null, names: false };
  let picture = { key: "", image: null, ready: false };

  // The picture for this state's map, fetched once per map description.
  function picture_for(map) {
    const key = map ? JSON.stringify(map) : "";
    if (key !== picture.key) {
      picture = { key, image: null, ready: false };
      if (map) {
        const image = new Image();
        const mine = picture;
        image.onload = () => { mine.ready = true; if (MapLayer.onready) MapLayer.onready(); };
        image.src = map.image;
        picture.image = image;
      }
    }
    return picture;
  }

  // From reported coordinates to the picture's pixels: world = reported + offset, then the transform.
  function toImage(map, x, y) {
    const [a, b, c, d, e, f] = map.transform;
    const wx = x + map.offset.x, wy = y + map.offset.y;
    return [a * wx + b * wy + c, d * wx + e * wy + f];
  }

  // Canvas pixels of a picture pixel, the picture fitted to the canvas before the viewer's zoom.
  function fit(map, size) {
    const scale = size / Math.max(map.width, map.height);
    return (px, py) => [size / 2 + (px - map.width / 2) * scale, size / 2 + (py - map.height / 2) * scale];
  }

  // What the radar places points with; null while there is no picture to place them on.
  function projector(state, size) {
    const map = state.map;
    if (!map || !picture_for(map).ready) return null;
    const place = fit(map, size);
    return (x, y) => place(...toImage(map, x, y));
  }

  // The viewer's zoom and pan (centred on the followed player) over a projector.
  function steer(base, size, followed) {
    if (followed) {
      const [fx, fy] = base(followed.x, followed.y);
      view.panX = -(fx - size / 2) * view.zoom;
      view.panY = -(fy - size / 2) * view.zoom;
    }
    return (x, y) => {
      const [px, py] = base(x, y);
      return [size / 2 + (px - size / 2) * view.zoom + view.panX, size / 2 + (py - size / 2) * view.zoom + view.panY];
    };
  }

  function drawUnder(g, state, size) {
    const map = state.map;
    if (!map || !picture.ready) return;
    const scale = (size / Math.max(map.width, map.height)) * view.zoom;
    const left = size / 2 + (-map.width / 2) * scale + view.panX, top = size / 2 + (-map.height / 2) * scale + view.panY;
    g.imageSmoothingEnabled = view.zoom < 2;
    g.drawImage(picture.image, left, top, map.width * scale, map.height * scale);
  }

  // Wheel and pinch zoom about the pointer, drag to pan (which stops following).
  function attach(canvas, redraw) {
    const zoomAt = (factor, cx, cy) => {
      const zoom = Math.min(16, Math.max(1, view.zoom * factor));
      const size = canvas.width, real = zoom / view.zoom;
      view.panX = cx - size / 2 - (cx - size / 2 - view.panX) * real;
      view.panY = cy - size / 2 - (cy - size / 2 - view.panY) * real;
      view.zoom = zoom;
      if (zoom === 1) { view.panX = 0; view.panY = 0; }
      redraw();
    };
    const local = (event) => {
      const box = canvas.getBoundingClientRect(), scale = canvas.width / box.width;
      return [(event.clientX - box.left) * scale, (event.clientY - box.top) * scale];
    };
    canvas.addEventListener("wheel", (event) => {
      event.preventDefault();
      zoomAt(event.deltaY < 0 ? 1.25 : 0.8, ...local(event));
    }, { passive: false });
    const pointers = new Map();
    let pinch = 0, moved = false;
    canvas.addEventListener("pointerdown", (event) => {
      pointers.set(event.pointerId, local(event));
      moved = false;
      canvas.setPointerCapture(event.pointerId);
    });
    canvas.addEventListener("pointermove", (event) => {
      if (!pointers.has(event.pointerId)) return;
      const [x, y] = local(event), [lx, ly] = pointers.get(event.pointerId);
      pointers.set(event.pointerId, [x, y]);
      if (pointers.size === 2) {
        const [a, b] = [...pointers.values()];
        const apart = Math.hypot(a[0] - b[0], a[1] - b[1]);
        if (pinch > 0) zoomAt(apart / pinch, (a[0] + b[0]) / 2, (a[1] + b[1]) / 2);
        pinch = apart;
      } else if (Math.abs(x - lx) + Math.abs(y - ly) > 0 && view.zoom > 1) {
        moved = true;
        view.follow = null;
        view.panX += x - lx;
        view.panY += y - ly;
        redraw();
      }
    });
    const up = (event) => { pointers.delete(event.pointerId); pinch = 0; };
    canvas.addEventListener("pointerup", up);
    canvas.addEventListener("pointercancel", up);
    return () => moved;  // whether the last press dragged (then it is no click)
  }

  return { view, projector, steer, drawUnder, attach, toImage, onready: null };
})();
