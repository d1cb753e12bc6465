// viewer.js -- the page tavo --export OUT.html writes: the world's embedded
// .glb drawn from its start camera, flown with the keys and orbited with
// the mouse.  Bundled with three.js into one script at build time.
import * as THREE from 'three';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';

function bytesOf(id) {
    const text = document.getElementById(id).textContent.replace(/\s+/g, '');
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++)
        bytes[i] = binary.charCodeAt(i);
    return bytes;
}

function say(text) {
    const note = document.getElementById('note');
    note.textContent = text;
    note.hidden = false;
    console.error(text);
}

// '#bare' after the page's name leaves the key help out, for pictures
// compared with the viewer's.
if (location.hash === '#bare')
    document.getElementById('help').hidden = true;

const renderer = new THREE.WebGLRenderer({ antialias: false, preserveDrawingBuffer: true });
renderer.setPixelRatio(window.devicePixelRatio);
renderer.setSize(window.innerWidth, window.innerHeight);
document.body.appendChild(renderer.domElement);

// The viewer's projection: 45 degrees high, near 1, far 4000.
const camera = new THREE.PerspectiveCamera(45, window.innerWidth / window.innerHeight, 1, 4000);
const scene = new THREE.Scene();
scene.background = new THREE.Color(0xffffff);
const controls = new OrbitControls(camera, renderer.domElement);
controls.enableDamping = false;
controls.screenSpacePanning = true;

// The backdrop: the picture stretched over the whole view, as the viewer
// draws it behind the world.
const backdrop = document.getElementById('backdrop');
if (backdrop) {
    const image = new Image();
    image.onload = () => {
        const texture = new THREE.Texture(image);
        texture.colorSpace = THREE.SRGBColorSpace;
        texture.needsUpdate = true;
        scene.background = texture;
    };
    image.src = 'data:image/png;base64,' + backdrop.textContent.replace(/\s+/g, '');
}

// Starts from the export's camera node, the pose saved with the world;
// the orbit turns about a point a few cells ahead.
function place(gltf) {
    scene.add(gltf.scene);
    scene.updateMatrixWorld(true);
    const start = gltf.cameras[0];
    if (start) {
        start.getWorldPosition(camera.position);
        start.getWorldQuaternion(camera.quaternion);
    }
    const ahead = new THREE.Vector3(0, 0, -1).applyQuaternion(camera.quaternion);
    controls.target.copy(camera.position).addScaledVector(ahead, 14);
    camera.updateMatrixWorld(true);
    controls.update();
    // The orbit's update turns the camera towards the target, which it
    // already faces; put the saved pose back exactly.
    if (start)
        start.getWorldQuaternion(camera.quaternion);
    document.body.dataset.ready = 'yes';  // for tests that drive the page
}

const loader = new GLTFLoader();
try {
    loader.parse(bytesOf('world').buffer, '', place, (e) => say('The world could not be read: ' + e));
} catch (e) {
    say('The world could not be read: ' + e);
}

// Fly: w/s or up/down along the view, a/d or left/right sideways, r/f up
// and down; shift goes faster.  The orbit's centre moves along.
const held = new Set();
window.addEventListener('keydown', (e) => held.add(e.key.toLowerCase()));
window.addEventListener('keyup', (e) => held.delete(e.key.toLowerCase()));
window.addEventListener('blur', () => held.clear());
const moves = {
    w: [0, 0, -1], arrowup: [0, 0, -1], s: [0, 0, 1], arrowdown: [0, 0, 1],
    a: [-1, 0, 0], arrowleft: [-1, 0, 0], d: [1, 0, 0], arrowright: [1, 0, 0],
    r: [0, 1, 0], f: [0, -1, 0],
};
let last = performance.now();
function fly(now) {
    const seconds = Math.min((now - last) / 1000, 0.1);
    last = now;
    const step = new THREE.Vector3();
    for (const key of held)
        if (moves[key])
            step.add(new THREE.Vector3(...moves[key]));
    if (step.lengthSq() > 0) {
        const speed = held.has('shift') ? 60 : 15;  // world units a second
        step.normalize().multiplyScalar(speed * seconds).applyQuaternion(camera.quaternion);
        camera.position.add(step);
        controls.target.add(step);
    }
}

window.addEventListener('resize', () => {
    camera.aspect = window.innerWidth / window.innerHeight;
    camera.updateProjectionMatrix();
    renderer.setSize(window.innerWidth, window.innerHeight);
});
renderer.setAnimationLoop((now) => {
    fly(now);
    renderer.render(scene, camera);
});
